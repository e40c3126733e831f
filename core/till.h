#pragma once

#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/relaunch.h"
#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayclock.h"
#include "payments/paymentcontext.h"

#include <QString>
#include <memory>

namespace journal {
class Journal;
}
class SignInService;
class StoreService;
class ListingService;
class TotalsService;
class PasswordService;
class RefundService;
class ChargeService;
class ReceiptService;
class PosBridge;

// The till: made once in main and handed down by the shell. It owns what the whole program shares — the session, the
// two settings files, the payment journal, the POS bridge — and one service per conversation with the gateway. The
// windows take the till, or the one service they need, render what the services hand them and forward what the
// cashier does; none of them talks to the gateway or keeps the till's state itself.
class Till {
public:
    // data.ini in `folder`, where app.config, payments.db and the logs live too; app.config is read by loadRecord().
    explicit Till(const QString& folder);
    ~Till();
    Till(const Till&) = delete;
    Till& operator=(const Till&) = delete;

    UserSession& session() { return m_session; }
    const UserSession& session() const { return m_session; }
    // Signs out: an empty session and no ticket kinds.
    void endSession() { m_session.end(); }

    // data.ini.
    DataConfig& settings() { return m_settings; }
    // The folder of data.ini, where app.config, payments.db and the logs live.
    QString folder() const;

    // app.config as this run uses it: defaults until loadRecord(); what a settings page set since.
    ComConfig& record() { return m_record; }
    void loadRecord();
    // Writes the record; false when it could not be written (it stays in force for this run).
    bool saveRecord();
    // Writes `candidate` and takes it for this run; false (the record unchanged) when it could not be written.
    bool saveRecord(const ComConfig& candidate);
    // Takes `changed` for this run at once (the next charge uses it), then writes it; false when it could not be
    // written (it stays in force for this run).
    bool applyRecord(const ComConfig& changed);

    // The payment journal; null when none could be opened (then no money is sent).
    journal::Journal* journal() const { return m_journal.get(); }
    // Opens payments.db beside data.ini; returns what the cashier must be told, empty when all is well.
    QString openJournal();
    void setJournal(std::unique_ptr<journal::Journal> journal);

    // Where the gateway is ("gatewayUrl" in data.ini).
    QString gatewayUrl();
    // The gateway's clock and zone as this till knows them: every reply's Date header sets it.
    gateway::Clock& clock() { return m_clock; }
    // The way every request of the till goes: to gatewayUrl() as it reads when the request leaves, setting clock().
    const gateway::Link& gateway() const { return m_gateway; }
    // What a charge, a refund and the handover check need of the till.
    PaymentContext paymentContext();

    // The shift handover: a new copy of the program starts at its login window, then this one ends. False (nothing
    // ends) when the new copy could not be started.
    bool restartProgram() { return relaunch::restartProgram(m_start, m_quit); }
    // How that new copy is started and this one ended (a till under test records them instead).
    void setRestart(relaunch::Starter start, relaunch::Quitter quit) {
        m_start = std::move(start);
        m_quit = std::move(quit);
    }

    SignInService& signIn() { return *m_signIn; }
    StoreService& stores() { return *m_stores; }
    ListingService& listing() { return *m_listing; }
    TotalsService& totals() { return *m_totals; }
    PasswordService& passwords() { return *m_passwords; }
    RefundService& refunds() { return *m_refunds; }
    ChargeService& charges() { return *m_charges; }
    ReceiptService& receipts() { return *m_receipts; }
    PosBridge& pos() { return *m_pos; }

private:
    DataConfig m_settings;
    gateway::Clock m_clock;
    gateway::Link m_gateway;
    ComConfig m_record;
    UserSession m_session;
    std::unique_ptr<journal::Journal> m_journal;
    std::unique_ptr<SignInService> m_signIn;
    std::unique_ptr<StoreService> m_stores;
    std::unique_ptr<ListingService> m_listing;
    std::unique_ptr<TotalsService> m_totals;
    std::unique_ptr<PasswordService> m_passwords;
    std::unique_ptr<RefundService> m_refunds;
    std::unique_ptr<ReceiptService> m_receipts;
    std::unique_ptr<ChargeService> m_charges;
    std::unique_ptr<PosBridge> m_pos;
    relaunch::Starter m_start;
    relaunch::Quitter m_quit;
};

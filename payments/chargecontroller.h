#pragma once

#include "gateway/listingfetch.h"
#include "gateway/replies.h"
#include "payments/chargecheck.h"
#include "payments/journalrules.h"
#include "payments/openattempt.h"
#include "payments/paymentcontext.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <optional>

class ChargeController;

// The till's live charge controllers: which one has money that may be moving, which one holds an attempt. The charge
// service owns one for its till; each controller enters it when made and leaves when destroyed.
class ChargeRegistry {
public:
    void add(ChargeController* c) { m_live.append(c); }
    void remove(ChargeController* c) { m_live.removeAll(c); }
    // The controller whose money may be moving (looking back, sending, checking, unresolved), if any.
    ChargeController* busy() const;
    // The controller that holds the journal's attempt `id`, if any.
    ChargeController* holding(qint64 attemptId) const;

private:
    QList<ChargeController*> m_live;
};

// The life of one sale's charge, free of widgets: every attempt is written to the payment journal before it is sent;
// its outcome is paid, refused, not sent, or unknown; an unknown one is looked up in the store's listing (every page,
// failed listings retried) until it is found, or the cashier releases it on purpose. A second attempt of the same sale
// first looks for the earlier ones, and so does any new charge of an amount the till tried in the last half hour. While
// any controller has money that may be moving, no charge goes out anywhere in the process, nor while the journal holds
// an open charge of any store or of any copy of the client.
class ChargeController : public QObject {
    Q_OBJECT

public:
    enum class Phase {
        Ready,        // waiting for a code: the first scan, or after a refusal, a release, a request that never left
        LookingBack,  // a later attempt of the sale: the earlier ones are looked up before anything is sent
        Sending,      // the charge is out
        Checking,     // no clear answer came: the charge is being looked up
        Unresolved,   // the look-up ended without finding it: only the cashier can release it
        Paid,
    };
    Q_ENUM(Phase)

    ChargeController(const PaymentContext& till, qint64 fen, QObject* parent = nullptr);
    ~ChargeController() override;

    // A ticket sale: what it sells ("id:count," selection) and the tickets the result window lists.
    void setTicketSale(const QString& selection, const QList<SoldTicket>& tickets);
    // Looks up an attempt an earlier run left open (sending or unresolved); the caller has taken it over in the
    // journal (Journal::takeOver).
    void resume(const journal::Attempt& attempt);

    // The open-attempt rule of the till: whether a new charge may go out now (no controller of the till has money
    // that may be moving, and the journal holds no open charge of any store or copy of the client); `why` says why
    // not, as the cashier reads it. The journal checks it again in the same transaction as the write.
    static bool mayStartCharge(const PaymentContext& till, QString* why);

    // Charges `code`. False (with `why`) when nothing was sent: no journal, the attempt could not be written, or
    // another charge is open. The outcome arrives as a signal.
    bool charge(const QString& code, QString* why);
    // The cashier's answer to candidatesFound: this one is the sale (the result window is given it as a charge's reply
    // would have carried it), or none is.
    void confirm(const chargecheck::Candidate& candidate);
    void decline(const QList<chargecheck::Candidate>& candidates);
    // The cashier stops the look-up: the attempt stays unresolved.
    void stopCheck() { m_open.stopCheck(); }
    void checkAgain() { m_open.checkAgain(); }
    // The cashier has checked with the customer that nothing was paid: the attempt is released (journaled with time
    // and cashier) and the sale may be charged again.
    bool release(QString* why);

    Phase phase() const { return m_phase; }
    bool moneyMayMove() const;
    qint64 fen() const { return m_fen; }
    QDateTime sentAt() const { return m_sentAt; }
    QString maskedCode() const { return m_maskedCode; }
    qint64 attemptId() const { return m_open.id(); }
    QString saleId() const { return m_saleId; }
    bool resumed() const { return m_resumed; }
    // Looking back after a lost journal: the rows found are offered as one list.
    bool lostLookBack() const { return m_lostLookBack && m_phase == Phase::LookingBack; }
    // The store of a charge brought back that this account cannot list (empty otherwise): it can only be looked up
    // after signing in to that store's account.
    QString unlistableStore() const { return m_unlistableStore; }
    int listingsSent() const { return m_fetch->requestsSent(); }

    void setTiming(const chargecheck::Timing& timing) { m_open.setTiming(timing); }
    chargecheck::Timing timing() const { return m_open.timing(); }

signals:
    void phaseChanged(ChargeController::Phase phase);
    void paid(const Order& sale);
    void refused(const QString& message);
    void notSent();
    // Transactions that may be this sale: the cashier answers with confirm() or decline().
    void candidatesFound(const QList<chargecheck::Candidate>& candidates);
    // The look-up ended without finding the charge.
    void unresolved();
    // A later attempt could not look for the earlier ones (the listing failed): nothing was sent.
    void lookBackFailed();
    // The journal could not record how an attempt ended (the attempt stays open there and is checked next start).
    void journalTrouble(const QString& why);

private:
    void setPhase(Phase phase);
    void send();
    void onChargeReply(const gateway::Reply& reply);
    // The sale's next attempt as the journal keeps it, made now.
    journal::Attempt newAttempt() const;
    // A check of the attempt in hand begins (first or again): it is looked for around its own time.
    void checkStarted();
    void checkUnresolved();
    // Lists every page of each store's range (m_stores) in turn; listingDone() follows.
    void startListing();
    void listNextStore();
    void storeListed(const gateway::ListingFetch::Ending& ending);
    void listingDone(bool ok);
    // The listed rows that may be this sale, newest first (undated last).
    QList<chargecheck::Candidate> found(const QSet<QString>& excluded) const;
    std::optional<QSet<QString>> excludedOrders() const;
    std::optional<QList<journal::Attempt>> earlierAnswered() const;
    // The look-back after a lost journal is done for this amount (found, declined or nothing there).
    void lookBackDone();
    // Writes down that this sale was found paid by the look-back after a lost journal.
    bool recordFound(const QString& orderNo);

    PaymentContext m_till;
    qint64 m_fen = 0;
    QString m_saleId;
    QString m_shopId;
    QString m_ticketSelection;
    QList<SoldTicket> m_tickets;
    bool m_ticketSale = false;
    bool m_resumed = false;
    Phase m_phase = Phase::Ready;

    // The attempt in hand.
    OpenAttempt m_open;
    QDateTime m_sentAt;
    QString m_maskedCode;
    QString m_pendingCode;  // a later attempt's code, held while the earlier ones are looked up

    // The look-up.
    QSet<QString> m_declined;  // rows the cashier said are not this sale: never offered again
    // The attempts a look-up looks for (the earlier ones of a look-back, or the charge being checked), each only within
    // its payment window; and the stores listed for them, each over its attempts' windows (the gateway's clock).
    struct Look {
        journal::Attempt attempt;
        chargecheck::Window window;
    };
    QList<Look> m_looks;
    struct StoreRange {
        QString shopId;
        QDateTime from;
        QDateTime to;
    };
    QList<StoreRange> m_stores;
    int m_storeAt = 0;
    QString m_unlistableStore;  // a charge brought back in a store this account cannot list
    gateway::ListingFetch* m_fetch = nullptr;
    QList<Order> m_rows;
    bool m_waitingForCashier = false;
    bool m_lostLookBack = false;  // looking back after a lost journal, not for an earlier attempt of this sale
};

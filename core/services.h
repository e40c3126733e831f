#pragma once

#include "gateway/replies.h"

#include <QObject>
#include <QString>
#include <functional>

class Till;

// The services of the till, one per conversation with the gateway. Each takes a typed request, posts it and hands the
// caller a finished value read once (an order, a page, totals, a verdict with the gateway's own words); what the
// answer changes in the till's state (the session, data.ini) it changes before the caller hears of it. `receiver` is
// the window that waits: an answer that arrives after it is gone is dropped.
template <class T>
using Finished = std::function<void(const T&)>;

// Sign-in and the version check.
class SignInService {
public:
    explicit SignInService(Till& till) : m_till(till) {}
    // "Share.Ace.login". A success fills the session (cashier, ticket kinds) and saves the account in data.ini (the
    // password as a digest, never itself) before `done` hears of it.
    void signIn(QObject* receiver, const QString& user, const QString& pwd, bool remember,
                Finished<replies::Read<replies::Login>> done);
    // "Share.App.update".
    void checkVersion(QObject* receiver, Finished<replies::Read<replies::VersionOffer>> done);
    // Plain http to another computer: passwords and payment codes would cross the shop's network unencrypted.
    bool gatewayInTheClear();
    // What the cashier is told when this PC's clock is well off the gateway's (as its last reply told it); empty
    // otherwise.
    QString clockWarning();

private:
    Till& m_till;
};

// The merchant's stores and the one chosen.
class StoreService {
public:
    explicit StoreService(Till& till) : m_till(till) {}
    // "Account.Shop.listShop"; a list that arrives becomes the session's, by position.
    void list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done);
    // The store at `index` of the list becomes the session's (a missing index: none).
    void choose(int index);
    // The confirmed choice, by the text it is shown with, is remembered in data.ini for the next sign-in.
    void remember(const QString& shownText);
    QString remembered();

private:
    Till& m_till;
};

// The print time, the totals of a period and the print record: what the shift summary asks the gateway.
class TotalsService {
public:
    explicit TotalsService(Till& till) : m_till(till) {}
    // "Account.Print.prinTtime": the period the gateway proposes.
    void printTime(QObject* receiver, Finished<replies::Read<replies::PrintTime>> done);
    // "Account.Pay.listSumTicket" for the period from `from` to `to` (whole seconds).
    void totals(QObject* receiver, qint64 from, qint64 to, Finished<replies::Read<replies::Totals>> done);
    // "Account.Print.logPrint": the summary of that period was printed.
    void logPrint(QObject* receiver, qint64 from, qint64 to, Finished<replies::Status> done);
    // The charges and refunds of this copy whose outcome is open, as the cashier reads them; empty when there are
    // none. The next copy must not start with them: their replies would be lost, and the next cashier asked about
    // sales they never made.
    QString openMoney();

private:
    Till& m_till;
};

// The login and refund passwords.
class PasswordService {
public:
    explicit PasswordService(Till& till) : m_till(till) {}
    // Against the digest data.ini keeps of the last login password.
    bool loginPasswordMatches(const QString& pwd);
    // "Share.Ace.editPassword"; once accepted the new password's digest replaces the stored one.
    void changeLogin(QObject* receiver, const QString& pwd, const QString& again, Finished<replies::Status> done);
    // "Share.Ace.editRefundPassword1".
    void changeRefund(QObject* receiver, const QString& pwd, const QString& again, const QString& old,
                      Finished<replies::Status> done);
    // "Share.Ace.getQuestion": the account's security question, empty when none is set.
    void question(QObject* receiver, Finished<replies::Read<QString>> done);
    // "Share.Ace.setRefundPassword" (no question yet: `question` becomes the account's) or, with `reset`,
    // "Share.Ace.editRefundPassword" (answering the stored one).
    void setRefund(QObject* receiver, bool reset, const QString& pwd, const QString& again, const QString& answer,
                   const QString& question, Finished<replies::Status> done);

private:
    Till& m_till;
};

#include "core/services.h"

#include "app/money.h"
#include "core/chargeservice.h"
#include "core/till.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayclock.h"
#include "gateway/gatewayurl.h"
#include "gateway/requests.h"
#include "payments/chargecontroller.h"
#include "payments/journal.h"

#include <QDebug>
#include <QDateTime>
#include <algorithm>

namespace {

// Posts `body` for `receiver`, and hands `done` what `read` makes of the reply.
template <class T>
void ask(Till& till, QObject* receiver, const RequestBody& body, T (*read)(const gateway::Reply&), Finished<T> done) {
    gateway::post(till.gatewayUrl(), receiver, body, [read, done](const gateway::Reply& r) { done(read(r)); });
}

}  // namespace

void SignInService::signIn(QObject* receiver, const QString& user, const QString& pwd, bool remember,
                           Finished<replies::Read<replies::Login>> done) {
    gateway::post(m_till.gatewayUrl(), receiver, requests::login(user, pwd),
                  [this, user, pwd, remember, done](const gateway::Reply& r) {
                      const replies::Read<replies::Login> login = replies::login(r);
                      if (login.ok()) {
                          m_till.session().setLoginInfo(login.value.info);
                          m_till.settings().saveLogin(user, pwd, remember);
                          m_till.session().setTicketTypes(login.value.tickets);
                          if (login.value.unpricedTickets > 0) {
                              qWarning().noquote() << "ticket kinds left out for a price that is not an amount:"
                                                   << login.value.unpricedTickets;
                          }
                      }
                      done(login);
                  });
}

void SignInService::checkVersion(QObject* receiver, Finished<replies::Read<replies::VersionOffer>> done) {
    ask(m_till, receiver, requests::update(), &replies::versionOffer, std::move(done));
}

bool SignInService::gatewayInTheClear() {
    return isCleartextToOtherHost(m_till.gatewayUrl());
}

QString SignInService::clockWarning() {
    return gateway::clockWarning(gateway::gatewayClockOffsetMs(), QDateTime::currentDateTime().offsetFromUtc());
}

void StoreService::list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done) {
    gateway::post(m_till.gatewayUrl(), receiver, requests::listShop(m_till.session().token()),
                  [this, done](const gateway::Reply& r) {
                      const replies::Read<QList<Shop>> shops = replies::shopList(r);
                      for (int i = 0; i < shops.value.size(); ++i) {
                          m_till.session().insertShop(i, shops.value.at(i));
                      }
                      done(shops);
                  });
}

void StoreService::choose(int index) {
    m_till.session().setCurrentShop(m_till.session().shopAt(index));
}

void StoreService::remember(const QString& shownText) {
    m_till.settings().setShopName(shownText);
}

QString StoreService::remembered() {
    return m_till.settings().shopName();
}

void TotalsService::printTime(QObject* receiver, Finished<replies::Read<replies::PrintTime>> done) {
    ask(m_till, receiver, requests::printTime(m_till.session().token()), &replies::printTime, std::move(done));
}

void TotalsService::totals(QObject* receiver, qint64 from, qint64 to, Finished<replies::Read<replies::Totals>> done) {
    ask(m_till, receiver, requests::listSumTicket(m_till.session().token(), from, to), &replies::totals,
        std::move(done));
}

void TotalsService::logPrint(QObject* receiver, qint64 from, qint64 to, Finished<replies::Status> done) {
    ask(m_till, receiver, requests::logPrint(m_till.session().token(), from, to), &replies::printLogged,
        std::move(done));
}

QString TotalsService::openMoney() {
    QList<journal::Attempt> open;
    if (journal::Journal* j = m_till.journal()) {
        open = j->open(QString());
        open.erase(
            std::remove_if(open.begin(), open.end(), [j](const journal::Attempt& a) { return j->heldElsewhere(a); }),
            open.end());
    }
    QString text = journal::handoverBlockedText(open);
    if (journal::Journal* j = m_till.journal(); text.isEmpty() && j && j->hasUnwritten()) {
        // Known here but not in the file: the next start would read them as still sending and ask about them.
        text = journal::unwrittenBlockedText(j->unwritten());
    }
    const ChargeController* busy = m_till.charges().current();
    if (text.isEmpty() && busy) {
        // Not in the journal yet: an earlier payment of the amount is being looked for before it is sent.
        text = QStringLiteral("一笔 %1元 的收款正在处理中，交接班前请先在收款窗口中完成。")
                   .arg(money::fenToYuan2(busy->fen()));
    }
    return text;
}

bool PasswordService::loginPasswordMatches(const QString& pwd) {
    return m_till.settings().verifyLoginPassword(pwd);
}

void PasswordService::changeLogin(QObject* receiver, const QString& pwd, const QString& again,
                                  Finished<replies::Status> done) {
    const UserSession& session = m_till.session();
    gateway::post(m_till.gatewayUrl(), receiver, requests::editPassword(session.token(), session.uname(), pwd, again),
                  [this, pwd, done](const gateway::Reply& r) {
                      const replies::Status status = replies::passwordChange(r);
                      if (status.ok()) {
                          // The next check, and the next login, compare with the new password.
                          m_till.settings().storeLoginPassword(pwd);
                      }
                      done(status);
                  });
}

void PasswordService::changeRefund(QObject* receiver, const QString& pwd, const QString& again, const QString& old,
                                   Finished<replies::Status> done) {
    const UserSession& session = m_till.session();
    ask(m_till, receiver, requests::editRefundPassword1(session.token(), session.uname(), pwd, again, old),
        &replies::refundPasswordChange, std::move(done));
}

void PasswordService::question(QObject* receiver, Finished<replies::Read<QString>> done) {
    ask(m_till, receiver, requests::getQuestion(m_till.session().token()), &replies::question, std::move(done));
}

void PasswordService::setRefund(QObject* receiver, bool reset, const QString& pwd, const QString& again,
                                const QString& answer, const QString& question, Finished<replies::Status> done) {
    const UserSession& session = m_till.session();
    const RequestBody body =
        reset ? requests::editRefundPassword(session.token(), session.uname(), pwd, again, answer, question)
              : requests::setRefundPassword(session.token(), session.uname(), pwd, again, answer, question);
    ask(m_till, receiver, body, &replies::refundPasswordChange, std::move(done));
}

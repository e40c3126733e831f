#include "core/passwordservice.h"

#include "core/gatewayask.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

bool PasswordService::loginPasswordMatches(const QString& pwd) {
    return m_settings.verifyLoginPassword(pwd);
}

void PasswordService::changeLogin(QObject* receiver, const QString& pwd, const QString& again,
                                  Finished<replies::Status> done) {
    const UserSession& session = m_session;
    m_gateway.post(receiver, requests::editPassword(session.token(), session.uname(), pwd, again),
                   [this, pwd, done](const gateway::Reply& r) {
                       const replies::Status status = replies::passwordChange(r);
                       if (status.ok()) {
                           // The next check, and the next login, compare with the new password.
                           m_settings.storeLoginPassword(pwd);
                       }
                       done(status);
                   });
}

void PasswordService::changeRefund(QObject* receiver, const QString& pwd, const QString& again, const QString& old,
                                   Finished<replies::Status> done) {
    const UserSession& session = m_session;
    ask(m_gateway, receiver, requests::editRefundPassword1(session.token(), session.uname(), pwd, again, old),
        &replies::refundPasswordChange, std::move(done));
}

void PasswordService::question(QObject* receiver, Finished<replies::Read<QString>> done) {
    ask(m_gateway, receiver, requests::getQuestion(m_session.token()), &replies::question, std::move(done));
}

void PasswordService::setRefund(QObject* receiver, bool reset, const QString& pwd, const QString& again,
                                const QString& answer, const QString& question, Finished<replies::Status> done) {
    const UserSession& session = m_session;
    const RequestBody body =
        reset ? requests::editRefundPassword(session.token(), session.uname(), pwd, again, answer, question)
              : requests::setRefundPassword(session.token(), session.uname(), pwd, again, answer, question);
    ask(m_gateway, receiver, body, &replies::refundPasswordChange, std::move(done));
}

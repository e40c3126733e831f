#include "core/signinservice.h"

#include "core/gatewayask.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayclock.h"
#include "gateway/gatewayurl.h"
#include "gateway/requests.h"

#include <QDateTime>
#include <QDebug>

void SignInService::signIn(QObject* receiver, const QString& user, const QString& pwd, bool remember,
                           Finished<replies::Read<replies::Login>> done) {
    m_gateway.post(receiver, requests::login(user, pwd), [this, user, pwd, remember, done](const gateway::Reply& r) {
        const replies::Read<replies::Login> login = replies::login(r);
        if (login.ok()) {
            m_session.setLoginInfo(login.value.info);
            m_settings.saveLogin(user, pwd, remember);
            m_session.setTicketTypes(login.value.tickets);
            if (login.value.unpricedTickets > 0) {
                qWarning().noquote() << "ticket kinds left out for a price that is not an amount:"
                                     << login.value.unpricedTickets;
            }
        }
        done(login);
    });
}

void SignInService::checkVersion(QObject* receiver, Finished<replies::Read<replies::VersionOffer>> done) {
    ask(m_gateway, receiver, requests::update(), &replies::versionOffer, std::move(done));
}

bool SignInService::gatewayInTheClear() {
    return isCleartextToOtherHost(m_gateway.url());
}

QString SignInService::clockWarning() {
    return m_gateway.clock().warning(QDateTime::currentDateTime().offsetFromUtc());
}

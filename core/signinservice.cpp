#include "core/signinservice.h"

#include "core/gatewayask.h"
#include "core/till.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayclock.h"
#include "gateway/gatewayurl.h"
#include "gateway/requests.h"

#include <QDateTime>
#include <QDebug>

void SignInService::signIn(QObject* receiver, const QString& user, const QString& pwd, bool remember,
                           Finished<replies::Read<replies::Login>> done) {
    m_till.gateway().post(receiver, requests::login(user, pwd),
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
    return m_till.clock().warning(QDateTime::currentDateTime().offsetFromUtc());
}

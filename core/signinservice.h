#pragma once

#include "core/services.h"

#include <QObject>
#include <QString>

class DataConfig;
class UserSession;

// Sign-in and the version check.
class SignInService {
public:
    SignInService(const gateway::Link& gateway, UserSession& session, DataConfig& settings)
        : m_gateway(gateway), m_session(session), m_settings(settings) {}
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
    const gateway::Link& m_gateway;
    UserSession& m_session;
    DataConfig& m_settings;
};

#pragma once

#include "core/services.h"

#include <QObject>
#include <QString>

class DataConfig;
class UserSession;

// The login and refund passwords.
class PasswordService {
public:
    PasswordService(const gateway::Link& gateway, const UserSession& session, DataConfig& settings)
        : m_gateway(gateway), m_session(session), m_settings(settings) {}
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
    const gateway::Link& m_gateway;
    const UserSession& m_session;
    DataConfig& m_settings;
};

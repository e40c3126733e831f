#pragma once

#include "core/services.h"

#include <QObject>
#include <QString>

class DataConfig;
class UserSession;

// The merchant's stores and the one chosen.
class StoreService {
public:
    StoreService(const gateway::Link& gateway, UserSession& session, DataConfig& settings)
        : m_gateway(gateway), m_session(session), m_settings(settings) {}
    // "Account.Shop.listShop"; a list that arrives becomes the session's, by position.
    void list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done);
    // The store at `index` of the list becomes the session's (a missing index: none).
    void choose(int index);
    // Whether the session has a store: charges may be made for it.
    bool chosen() const;
    // The confirmed choice, by the text it is shown with, is remembered in data.ini for the next sign-in.
    void remember(const QString& shownText);
    QString remembered();

private:
    const gateway::Link& m_gateway;
    UserSession& m_session;
    DataConfig& m_settings;
};

#include "usersession.h"

#include <QJsonValue>
#include <memory>

namespace {
std::unique_ptr<UserSession>& sessionInstance() {
    static std::unique_ptr<UserSession> session;
    return session;
}
}  // namespace

QString UserSession::token() const {
    return m_loginContent.value(QLatin1String("token")).toString();
}
QString UserSession::uid() const {
    return m_loginContent.value(QLatin1String("id")).toString();
}
QString UserSession::shopId() const {
    return m_currentShop.value(QLatin1String("shopid")).toString();
}
QString UserSession::rname() const {
    return m_loginContent.value(QLatin1String("rname")).toString();
}
QString UserSession::uname() const {
    return m_loginContent.value(QLatin1String("uname")).toString();
}

QString UserSession::shopName() const {
    return m_currentShop.value(QLatin1String("main_name")).toString() +
           m_currentShop.value(QLatin1String("branch_name")).toString();
}

UserSession& userSession() {
    auto& s = sessionInstance();
    if (!s) {
        s = std::make_unique<UserSession>();
    }
    return *s;
}

QList<TicketType*>& ticketTypes() {
    static QList<TicketType*> types;
    return types;
}

void resetSessionForTests() {
    sessionInstance().reset();
    qDeleteAll(ticketTypes());
    ticketTypes().clear();
}

QString shopDisplayText(const QJsonObject& shop) {
    return shop.value(QLatin1String("main_name")).toString() + QStringLiteral("  ") +
           shop.value(QLatin1String("branch_name")).toString();
}

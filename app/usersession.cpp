#include "usersession.h"

#include "logcategories.h"

#include <memory>

namespace {
std::unique_ptr<UserSession>& sessionInstance() {
    static std::unique_ptr<UserSession> session;
    return session;
}
}  // namespace

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

void UserSession::setLoginInfo(const LoginInfo& login) {
    if (!login.uname.isEmpty() || !login.id.isEmpty()) {
        qCInfo(lcSession).noquote() << "signed in: account" << login.uname << "cashier" << login.id << login.rname
                                    << "company" << login.company;
    }
    m_login = login;
}

void UserSession::setCurrentShop(const Shop& shop) {
    if (!(shop == m_currentShop)) {
        qCInfo(lcSession).noquote() << (m_currentShop.shopid.isEmpty() ? "store chosen:" : "store switched to:")
                                    << shop.shopid << shopDisplayText(shop).trimmed();
    }
    m_currentShop = shop;
}

void endSession() {
    if (!userSession().loginInfo().uname.isEmpty()) {
        qCInfo(lcSession).noquote() << "session ended: account" << userSession().loginInfo().uname;
    }
    userSession() = UserSession();  // in place: a reference taken earlier stays valid
    qDeleteAll(ticketTypes());
    ticketTypes().clear();
}

void resetSessionForTests() {
    endSession();
}

QString shopDisplayText(const Shop& shop) {
    return shop.mainName + QStringLiteral("  ") + shop.branchName;
}

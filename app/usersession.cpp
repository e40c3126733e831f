#include "usersession.h"

#include "logcategories.h"

#include <memory>

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

void UserSession::end() {
    if (!m_login.uname.isEmpty()) {
        qCInfo(lcSession).noquote() << "session ended: account" << m_login.uname;
    }
    *this = UserSession();  // in place: a reference taken earlier stays valid
}

QString shopDisplayText(const Shop& shop) {
    return shop.mainName + QStringLiteral("  ") + shop.branchName;
}

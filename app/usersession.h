#pragma once

#include "app/records.h"

#include <QList>
#include <QMap>
#include <QString>

// The session record every screen reads its token, cashier and store from.
class UserSession {
public:
    LoginInfo loginInfo() const { return m_login; }
    Shop currentShop() const { return m_currentShop; }
    QMap<int, Shop> shopsByIndex() const { return m_shopsByIndex; }
    // The merchant's ticket kinds from the sign-in, in reply order.
    QList<TicketType> ticketTypes() const { return m_ticketTypes; }

    // Both note the change in the operations log (never the token).
    void setLoginInfo(const LoginInfo& login);
    void setCurrentShop(const Shop& shop);
    void insertShop(int index, const Shop& shop) { m_shopsByIndex.insert(index, shop); }
    void setTicketTypes(const QList<TicketType>& types) { m_ticketTypes = types; }
    // A missing key reads as an empty record.
    Shop shopAt(int index) const { return m_shopsByIndex.value(index); }

    QString token() const { return m_login.token; }
    QString uid() const { return m_login.id; }
    QString shopId() const { return m_currentShop.shopid; }
    QString rname() const { return m_login.rname; }
    QString uname() const { return m_login.uname; }
    QString company() const { return m_login.company; }
    // The current store's name as receipts and the result window show it: "main_name" + "branch_name".
    QString shopName() const { return m_currentShop.mainName + m_currentShop.branchName; }

    // Signs out: an empty session and no ticket kinds.
    void end();

private:
    LoginInfo m_login;
    Shop m_currentShop;
    QMap<int, Shop> m_shopsByIndex;
    QList<TicketType> m_ticketTypes;
};

// "main_name" + two blanks + "branch_name", the text a store is shown and remembered by.
QString shopDisplayText(const Shop& shop);

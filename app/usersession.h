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
    QMap<int, Order> ordersByRow() const { return m_ordersByRow; }

    // Both note the change in the operations log (never the token).
    void setLoginInfo(const LoginInfo& login);
    void setCurrentShop(const Shop& shop);
    void insertShop(int index, const Shop& shop) { m_shopsByIndex.insert(index, shop); }
    void insertOrder(int row, const Order& order) { m_ordersByRow.insert(row, order); }
    void clearOrders() { m_ordersByRow.clear(); }
    // A missing key reads as an empty record.
    Shop shopAt(int index) const { return m_shopsByIndex.value(index); }
    Order orderAt(int row) const { return m_ordersByRow.value(row); }

    QString token() const { return m_login.token; }
    QString uid() const { return m_login.id; }
    QString shopId() const { return m_currentShop.shopid; }
    QString rname() const { return m_login.rname; }
    QString uname() const { return m_login.uname; }
    QString company() const { return m_login.company; }
    // The current store's name as receipts and the result window show it: "main_name" + "branch_name".
    QString shopName() const { return m_currentShop.mainName + m_currentShop.branchName; }

private:
    LoginInfo m_login;
    Shop m_currentShop;
    QMap<int, Shop> m_shopsByIndex;
    QMap<int, Order> m_ordersByRow;
};

UserSession& userSession();
QList<TicketType*>& ticketTypes();
// Signs out: an empty session and no ticket kinds.
void endSession();
// Tests start each case from an empty session.
void resetSessionForTests();

// "main_name" + two blanks + "branch_name", the text a store is shown and remembered by.
QString shopDisplayText(const Shop& shop);

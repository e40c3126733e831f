#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// The session record every screen reads its token, cashier and store from.
class UserSession {
public:
    QJsonObject loginContent() const { return m_loginContent; }
    QJsonObject currentShop() const { return m_currentShop; }
    QMap<int, QJsonObject> shopsByIndex() const { return m_shopsByIndex; }
    QMap<int, QJsonObject> ordersByRow() const { return m_ordersByRow; }

    void setLoginContent(const QJsonObject& content) { m_loginContent = content; }
    void setCurrentShop(const QJsonObject& shop) { m_currentShop = shop; }
    void insertShop(int index, const QJsonObject& shop) { m_shopsByIndex.insert(index, shop); }
    void insertOrder(int row, const QJsonObject& order) { m_ordersByRow.insert(row, order); }
    void clearOrders() { m_ordersByRow.clear(); }
    QJsonObject shopAt(int index) const { return m_shopsByIndex.value(index); }
    QJsonObject orderAt(int row) const { return m_ordersByRow.value(row); }

    // Convenience readers (JSON strings; other types read as "").
    QString token() const;
    QString uid() const;     // "id" of the login content
    QString shopId() const;  // "shopid" of the current store
    QString rname() const;
    QString uname() const;
    // The current store's name as receipts and the result window show it: "main_name" + "branch_name".
    QString shopName() const;

private:
    QJsonObject m_loginContent;
    QJsonObject m_currentShop;
    QMap<int, QJsonObject> m_shopsByIndex;
    QMap<int, QJsonObject> m_ordersByRow;
};

// A ticket kind of the merchant, from the login reply.
struct TicketType {
    QString name;
    double price = 0;  // yuan, as the gateway sends it
    int id = 0;
    int shopid = 0;
    int status = 0;
};

UserSession& userSession();
QList<TicketType*>& ticketTypes();
// Tests start each case from an empty session.
void resetSessionForTests();

// "main_name" + two blanks + "branch_name", the text a store is shown and remembered by.
QString shopDisplayText(const QJsonObject& shop);

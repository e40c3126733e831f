#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// What the gateway told the client about the cashier, the stores and the transactions, as typed records. The gateway
// readers fill them; the session and the screens only read them.

// The signed-in cashier, from the login reply.
struct LoginInfo {
    QString token;  // sent as "token="
    QString id;     // the cashier's id, sent as "uid="
    QString uname;  // account name
    QString rname;  // the cashier's full name
    QString company;
};

// A store of the merchant.
struct Shop {
    QString shopid;
    QString mainName;    // "main_name"
    QString branchName;  // "branch_name"

    bool operator==(const Shop& o) const {
        return shopid == o.shopid && mainName == o.mainName && branchName == o.branchName;
    }
};

// One ticket of a ticket sale, as the charge reply, the result window and the receipt list it.
struct SoldTicket {
    QString name;   // "cardno"
    QString price;  // yuan text as sent

    bool operator==(const SoldTicket& o) const { return name == o.name && price == o.price; }
};

// One transaction: a row of a listing page, a charge's reply, or a listed row confirmed as the charge. The gateway
// readers fill it once. An amount the gateway did not send as fen is nullopt: it is not known, and is never taken
// for 0.
struct Order {
    QString tradeNo;                  // "trade_no", the gateway's order number
    QString outTradeNo;               // "out_trade_no", the merchant-side number refunds and receipts use
    std::optional<qint64> fen;        // "money"
    std::optional<qint64> refundFen;  // "refundfee"
    QString payChannel;               // "pay_channel" as sent ("ALIPAY"/"WECHAT" from a charge, words in a listing)
    QString finalinfo;                // status text as sent
    QString payDate;                  // "pay_date" as sent: shown and printed as it stands
    QDateTime paidAt;                 // payDate read as a time; invalid when it cannot be read
    QString shopName;
    QString cardNo;
    QString shopId;             // "shopid": empty when the row does not say
    QString operatorName;       // "operator": empty when the row does not say
    QList<SoldTicket> tickets;  // what a ticket sale sold; listing rows carry none

    // The result window's rule: the channel code "ALIPAY" is 支付宝, anything else is shown as 微信.
    bool alipay() const { return payChannel == QLatin1String("ALIPAY"); }
    // The order number a sale is known by: "out_trade_no", or "trade_no" when that is empty.
    QString orderNo() const { return outTradeNo.isEmpty() ? tradeNo : outTradeNo; }

    bool operator==(const Order& o) const {
        return tradeNo == o.tradeNo && outTradeNo == o.outTradeNo && fen == o.fen && refundFen == o.refundFen &&
               payChannel == o.payChannel && finalinfo == o.finalinfo && payDate == o.payDate && paidAt == o.paidAt &&
               shopName == o.shopName && cardNo == o.cardNo && shopId == o.shopId && operatorName == o.operatorName &&
               tickets == o.tickets;
    }
};

// A ticket kind of the merchant, from the login reply; the session holds them in reply order.
struct TicketType {
    QString name;
    qint64 priceFen = 0;  // exact: the gateway's yuan text read without floating point
    int id = 0;
    int shopid = 0;
    int status = 0;
};

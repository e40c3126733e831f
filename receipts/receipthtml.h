#pragma once

#include "app/records.h"
#include "app/shown.h"
#include "receipts/receiptwriter.h"

#include <QList>
#include <QString>

// The HTML of the paper receipts. Each receipt is one string from "<html>" to "</html>"; every value that comes from
// the gateway or the settings is HTML-escaped, so a "<" in a store name cannot swallow the rest of the receipt.
namespace receipts {

// The sale receipt's ticket block: empty without tickets, else the heading and one line per ticket.
QString saleTicketsHtml(const QList<SoldTicket>& tickets);
// One ticket as the receipt and the result window list it: "成人票(20元)".
QString ticketLine(const SoldTicket& ticket);

// Everything the sale receipt prints. The operator, order, channel and amount are what the result window shows.
struct SaleReceipt {
    QString shopName;
    QString operatorName;
    QString payDate;
    QString orderNo;      // the result window's system order label
    QString payWay;       // 支付宝 or 微信
    QString moneyText;    // yuan, two decimals
    QString ticketsHtml;  // from saleTicketsHtml (already HTML)
    QString outTradeNo;   // the reply's order number, under 备注
    QString servicePhone;
};

QString saleReceiptHtml(const SaleReceipt& r);
// A paid sale's tickets as the result window and the receipt show them: the gateway's texts cut for showing.
QList<SoldTicket> ticketsSoldOf(const Order& sale);
// A paid sale's receipt; the service phone is the caller's to fill in.
SaleReceipt saleReceiptOf(const Order& sale);

// A copy of a listed transaction's receipt, printed from the transaction page. Money is yuan with two decimals.
struct ReprintReceipt {
    bool refunded = false;  // the transaction's status says it was refunded: the title says so
    QString shopName;
    QString operatorName;  // the cashier signed in now
    QString payDate;
    QString outTradeNo;  // printed as 系统单号
    QString payChannel;
    QString moneyText;
    QString cardNo;  // hand tag / room number, may be empty
    QString refundText;
    QString tradeNo;  // printed under 交易订单号
    QString servicePhone;
};

// "移动收银台(重打印)" behind 19 non-breaking spaces, or "移动收银台(重打印)-退款" behind 15 for a refunded one.
QString reprintTitle(bool refunded);
QString reprintReceiptHtml(const ReprintReceipt& r);
// A listed order's copy; `refunded` is what its status says (the transaction page's rule). The cashier and the
// service phone are the caller's to fill in.
ReprintReceipt reprintReceiptOf(const Order& order, bool refunded);

// Everything the refund receipt prints: the refunded order as the transaction list gave it, and the refund.
struct RefundReceipt {
    QString shopName;      // the order's "shopname"
    QString operatorName;  // the signed-in cashier
    QString payDate;
    QString outTradeNo;
    QString payChannel;
    qint64 orderFen = 0;
    QString cardNo;        // the order's own items, not the ones returned now
    qint64 refundFen = 0;  // the amount the gateway refunded
    QString tradeNo;
    QString servicePhone;
};

QString refundReceiptHtml(const RefundReceipt& r);
// The refund receipt of a listed order the gateway refunded `refundFen` of; the cashier and the service phone are
// the caller's to fill in.
RefundReceipt refundReceiptOf(const Order& order, qint64 refundFen);

}  // namespace receipts

#pragma once

#include <QList>
#include <QString>

// The HTML of the paper receipts. Each receipt is one string from "<html>" to "</html>"; every value that comes from
// the gateway or the settings is HTML-escaped, so a "<" in a store name cannot swallow the rest of the receipt.
namespace receipts {

// A sold ticket as the charge reply lists it.
struct TicketSold {
    QString cardno;  // the ticket's label
    QString price;   // yuan, as text
};

// The sale receipt's ticket block: empty without tickets, else the heading and one line per ticket.
QString saleTicketsHtml(const QList<TicketSold>& tickets);

// Everything the sale receipt prints. The operator, order, channel and amount are the result window's labels.
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

// A separator line of `dashes` dashes in the receipts' small font.
QString separatorHtml(int dashes);

}  // namespace receipts

#pragma once

#include <QList>
#include <QString>

// The shift summary receipt (收银汇总): what was taken and refunded per channel over a period, and the tickets sold.
namespace receipts {

// One kind of ticket sold in the period, as the totals reply lists it.
struct SummaryTicket {
    QString cardno;  // the ticket's name
    QString sum;     // its amount, yuan text as sent
    QString num;     // how many were sold
};

// "成人票(40元,2张)": the line shown on screen and printed for one ticket kind.
QString summaryTicketLine(const SummaryTicket& ticket);

// The printed ticket block: empty without tickets, else a heading and one line per kind.
QString summaryTicketsHtml(const QList<SummaryTicket>& tickets);

// Everything the summary prints; the texts are those the dialog shows.
struct ShiftSummary {
    QString shopName;
    QString cashier;
    QString start;  // the period as the gateway reported it
    QString end;
    QString alipayMoney;  // money texts as shown ("￥12.50元")
    QString alipayRefund;
    QString wechatMoney;
    QString wechatRefund;
    QString total;
    QString refundTotal;
    QString ticketsHtml;  // from summaryTicketsHtml (already HTML)
    QString printedAt;    // "yyyy.MM.dd hh:mm:ss"
    QString servicePhone;
    QString checkLine;  // this till's record against the gateway; printed under the totals when there is one
};

QString shiftSummaryHtml(const ShiftSummary& s);

}  // namespace receipts

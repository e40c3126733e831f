#include "receipts/summaryhtml.h"

#include "receipts/receiptwriter.h"

namespace receipts {

namespace {

// The summary has no amounts to set apart and nothing to sign.
const ReceiptLook kSummaryLook{30, {23, false}, {23, false}, 15, {20, false}, 25};

}  // namespace

QString summaryTicketLine(const SummaryTicket& t) {
    return t.cardno + QLatin1Char('(') + t.sum + QStringLiteral("元,") + t.num + QStringLiteral("张)");
}

QString summaryTicketsHtml(const QList<SummaryTicket>& tickets) {
    QStringList lines;
    for (const SummaryTicket& t : tickets) {
        lines.append(summaryTicketLine(t));
    }
    return ticketBlockHtml(lines);
}

QString shiftSummaryHtml(const ShiftSummary& s) {
    ReceiptWriter w(kSummaryLook, nbsp(19) + QStringLiteral("收银汇总"));
    w.stub()
        .line(QStringLiteral("门店名称："), s.shopName)
        .line(QStringLiteral("操作人员："), s.cashier)
        .line(QStringLiteral("开始时间："), s.start)
        .line(QStringLiteral("结束时间："), s.end)
        .rule()
        .line(QStringLiteral("支付宝金额："), s.alipayMoney)
        .line(QStringLiteral("支付宝退款："), s.alipayRefund)
        .line(QStringLiteral("微信金额："), s.wechatMoney)
        .line(QStringLiteral("微信退款："), s.wechatRefund)
        .rule()
        .line(QStringLiteral("交易总金额："), s.total)
        .line(QStringLiteral("退款总金额："), s.refundTotal);
    if (!s.checkLine.isEmpty()) {
        w.line(QStringLiteral("本机核对："), s.checkLine);
    }
    w.line(QStringLiteral("售票信息："))
        .html(s.ticketsHtml)
        .line(QStringLiteral("打印时间："), s.printedAt)
        .line(QStringLiteral("客服电话："), s.servicePhone);
    return w.finish();
}

}  // namespace receipts

#include "receipts/summaryhtml.h"

#include "receipts/receipthtml.h"

namespace receipts {

namespace {

const QString kLine23 = QStringLiteral("<br><a style='font-family:微软雅黑;font-size:23px;'>");

// One labelled line: the caption, the value, the closing tag.
QString line(const char* caption, const QString& value) {
    return kLine23 + QString::fromUtf8(caption) + value.toHtmlEscaped() + QStringLiteral("</a>");
}

QString separator() {
    return QStringLiteral("<br>") + separatorHtml(25);
}

}  // namespace

QString summaryTicketLine(const SummaryTicket& t) {
    return t.cardno + QLatin1Char('(') + t.sum + QStringLiteral("元,") + t.num + QStringLiteral("张)");
}

QString summaryTicketsHtml(const QList<SummaryTicket>& tickets) {
    if (tickets.isEmpty()) {
        return QString();
    }
    QString html = QStringLiteral("<br><a style='font-family:微软雅黑;font-size:20px;'>购票信息：</a>");
    for (const SummaryTicket& t : tickets) {
        html += QStringLiteral("<a style='font-family:微软雅黑;font-size:18px;'>") +
                summaryTicketLine(t).toHtmlEscaped() + QStringLiteral("</a><br/>");
    }
    return html;
}

QString shiftSummaryHtml(const ShiftSummary& s) {
    QString html;
    html += QStringLiteral(
                "<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> "
                "<a style='font-family:微软雅黑;font-size:23px;'>") +
            QStringLiteral("&nbsp;").repeated(19) + QStringLiteral("收银汇总</a>");
    html += separator();
    html += kLine23 + QStringLiteral("商户存根") + QStringLiteral("&nbsp;").repeated(15) + QStringLiteral("SHOP") +
            QStringLiteral("&nbsp;").repeated(5) + QStringLiteral("COPY</a>");
    html += separator();
    html += line("门店名称：", s.shopName);
    html += line("操作人员：", s.cashier);
    html += line("开始时间：", s.start);
    html += line("结束时间：", s.end);
    html += separator();
    html += line("支付宝金额：", s.alipayMoney);
    html += line("支付宝退款：", s.alipayRefund);
    html += line("微信金额：", s.wechatMoney);
    html += line("微信退款：", s.wechatRefund);
    html += separator();
    html += line("交易总金额：", s.total);
    html += line("退款总金额：", s.refundTotal);
    if (!s.checkLine.isEmpty()) {
        html += line("本机核对：", s.checkLine);
    }
    html += kLine23 + QStringLiteral("售票信息：</a>") + s.ticketsHtml;
    html += line("打印时间：", s.printedAt);
    html += line("客服电话：", s.servicePhone);
    html += QStringLiteral("</html>");
    return html;
}

}  // namespace receipts

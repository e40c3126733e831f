#include "receipts/receipthtml.h"

#include "app/money.h"

namespace receipts {

namespace {

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

QString nbsp(int n) {
    return QStringLiteral("&nbsp;").repeated(n);
}

const QString kLine20 = QStringLiteral("<a style='font-family:微软雅黑;font-size:20px;'>");
const QString kLine28 = QStringLiteral("<a style='font-family:微软雅黑;font-size:28px;font-weight:bold;'>");
const QString kLine23 = QStringLiteral("<a style='font-family:微软雅黑;font-size:23px;'>");
const QString kLine30 = QStringLiteral("<a style='font-family:微软雅黑;font-size:30px;'>");

}  // namespace

QString separatorHtml(int dashes) {
    return QStringLiteral("<a><font size='8'>") + QString(dashes, QLatin1Char('-')) + QStringLiteral("</font></a>");
}

QString saleTicketsHtml(const QList<TicketSold>& tickets) {
    if (tickets.isEmpty()) {
        return QString();
    }
    QString html = QStringLiteral("<br><a style='font-family:微软雅黑;font-size:20px;'>购票信息：</a>");
    for (const TicketSold& t : tickets) {
        html += QStringLiteral("<a style='font-family:微软雅黑;font-size:18px;'>") + esc(t.cardno) + QLatin1Char('(') +
                esc(t.price) + QStringLiteral("元)</a><br/>");
    }
    return html;
}

QString saleReceiptHtml(const SaleReceipt& r) {
    QString html;
    // Heading: the store banner, the till, the merchant-stub marker.
    html += QStringLiteral("<html> <p style='font-size: 50px;'>&nbsp;&nbsp; 岚舟门店</p> <br> ") + kLine20 + nbsp(25) +
            QStringLiteral("移动收银台</a><br>") + separatorHtml(25) + QStringLiteral("<br>") + kLine20 +
            QStringLiteral("商户存根") + nbsp(13) + QStringLiteral("SHOP") + nbsp(5) + QStringLiteral("COPY</a><br>") +
            separatorHtml(25);
    html += QStringLiteral("<br>") + kLine20 + QStringLiteral("收款门店：") + esc(r.shopName);
    html += QStringLiteral("</a><br>") + kLine20 + QStringLiteral("操作员：") + esc(r.operatorName);
    html += QStringLiteral("</a><br>") + kLine20 + QStringLiteral("交易时间：") + esc(r.payDate);
    html += QStringLiteral("</a><br>") + kLine20 + QStringLiteral("系统单号：") + esc(r.orderNo);
    html += QStringLiteral("</a><br>") + kLine28 + QStringLiteral("支付方式：") + esc(r.payWay);
    html += QStringLiteral("</a><br>") + kLine28 + QStringLiteral("交易金额(RMB)：￥") + esc(r.moneyText);
    html += QStringLiteral("</a><br>");
    html += QStringLiteral("<br>") + kLine20 + QStringLiteral("购票信息：</a>") + r.ticketsHtml;
    html += separatorHtml(25);
    html += QStringLiteral("<br>") + kLine20 + QStringLiteral("备注：</a><br>") + kLine20 +
            QStringLiteral("交易订单号：</a><br>") + kLine20 + esc(r.outTradeNo);
    // The signature space has a shorter rule than the others.
    html += QStringLiteral("</a><br>") + kLine20 +
            QStringLiteral("持卡人签名(CARDHOLDER SIGNATURE)</a><br><br><br><br>") + separatorHtml(22) +
            QStringLiteral("<br>") + kLine20 + QStringLiteral("本人确认以上交易，同意将其计入交易账户</a>");
    html +=
        QStringLiteral("<br>") + kLine20 + QStringLiteral("客服电话：") + esc(r.servicePhone) + QStringLiteral("</a>");
    html += QStringLiteral("</html>");
    return html;
}

QString reprintTitle(bool refunded) {
    return refunded ? nbsp(15) + QStringLiteral("移动收银台(重打印)-退款")
                    : nbsp(19) + QStringLiteral("移动收银台(重打印)");
}

QString reprintReceiptHtml(const ReprintReceipt& r) {
    QString html;
    html += QStringLiteral("<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> ") + kLine23 +
            reprintTitle(r.refunded);
    html += QStringLiteral("</a><br>") + separatorHtml(25) + QStringLiteral("<br>") + kLine23 +
            QStringLiteral("商户存根") + nbsp(15) + QStringLiteral("SHOP") + nbsp(5) + QStringLiteral("COPY</a><br>") +
            separatorHtml(25);
    html += QStringLiteral("<br>") + kLine23 + QStringLiteral("收款门店：") + esc(r.shopName);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("操作员：") + esc(r.operatorName);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("交易时间：") + esc(r.payDate);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("系统单号：") + esc(r.outTradeNo);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("支付方式：") + esc(r.payChannel);
    html += QStringLiteral("</a><br>") + kLine30 + QStringLiteral("交易金额(RMB)：￥") + esc(r.moneyText);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("房间号：") + esc(r.cardNo);
    html += QStringLiteral("</a><br>") + kLine30 + QStringLiteral("退款金额(RMB)：￥") + esc(r.refundText);
    html += QStringLiteral("</a><br>") + separatorHtml(25);
    html += QStringLiteral("<br>") + kLine23 + QStringLiteral("备注：</a><br>") + kLine23 +
            QStringLiteral("交易订单号：</a><br>") + kLine23 + esc(r.tradeNo);
    html += QStringLiteral(
                "</a><br><a style='font-family:微软雅黑;font-size:20px;'>"
                "持卡人签名(CARDHOLDER SIGNATURE)</a><br><br><br><br>") +
            separatorHtml(25) +
            QStringLiteral(
                "<br><a style='font-family:微软雅黑;font-size:20px;'>本人确认以上交易，同意将其计入交易账户</a>");
    html +=
        QStringLiteral("<br>") + kLine23 + QStringLiteral("客服电话：") + esc(r.servicePhone) + QStringLiteral("</a>");
    html += QStringLiteral("</html>");
    return html;
}

QString refundReceiptHtml(const RefundReceipt& r) {
    QString html;
    html += QStringLiteral("<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> ") + kLine23 +
            reprintTitle(true);
    html += QStringLiteral("</a><br>") + separatorHtml(25) + QStringLiteral("<br>") + kLine23 +
            QStringLiteral("商户存根") + nbsp(15) + QStringLiteral("SHOP") + nbsp(5) + QStringLiteral("COPY</a><br>") +
            separatorHtml(25);
    html += QStringLiteral("<br>") + kLine23 + QStringLiteral("收款门店：") + esc(r.shopName);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("操作员：") + esc(r.operatorName);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("交易时间：") + esc(r.payDate);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("系统单号：") + esc(r.outTradeNo);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("支付方式：") + esc(r.payChannel);
    html += QStringLiteral("</a><br>") + kLine30 + QStringLiteral("订单金额(RMB)：￥") + money::fenToYuan2(r.orderFen);
    html += QStringLiteral("</a><br>") + kLine23 + QStringLiteral("手牌号：") + esc(r.cardNo);
    html += QStringLiteral("</a><br>") + kLine30 + QStringLiteral("退款金额(RMB)：￥") + money::fenToYuan2(r.refundFen);
    html += QStringLiteral("</a> ") + separatorHtml(25);
    html += QStringLiteral("<br>") + kLine23 + QStringLiteral("备注：</a><br>") + kLine23 +
            QStringLiteral("交易订单号：</a><br>") + kLine23 + esc(r.tradeNo);
    html += QStringLiteral("</a><br>") + kLine20 +
            QStringLiteral("持卡人签名(CARDHOLDER SIGNATURE)</a><br><br><br><br>") + separatorHtml(25) +
            QStringLiteral("<br>") + kLine20 + QStringLiteral("本人确认以上交易，同意将其计入交易账户</a>");
    html +=
        QStringLiteral("<br>") + kLine23 + QStringLiteral("客服电话：") + esc(r.servicePhone) + QStringLiteral("</a>");
    html += QStringLiteral("</html>");
    return html;
}

}  // namespace receipts

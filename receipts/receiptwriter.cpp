#include "receipts/receiptwriter.h"

namespace receipts {

namespace {

QString fontTag(const Font& font) {
    return QStringLiteral("<a style='font-family:微软雅黑;font-size:%1px;%2'>")
        .arg(QString::number(font.px), font.bold ? QStringLiteral("font-weight:bold;") : QString());
}

// The ticket block's own sizes, the same on every receipt.
const Font kTicketHeading{20, false};
const Font kTicketLine{18, false};

}  // namespace

QString separatorHtml(int dashes) {
    return QStringLiteral("<a><font size='8'>") + QString(dashes, QLatin1Char('-')) + QStringLiteral("</font></a>");
}

QString nbsp(int n) {
    return QStringLiteral("&nbsp;").repeated(n);
}

QString ticketBlockHtml(const QStringList& lines) {
    if (lines.isEmpty()) {
        return QString();
    }
    QString html = QStringLiteral("<br>") + fontTag(kTicketHeading) + QStringLiteral("购票信息：</a>");
    for (const QString& line : lines) {
        html += fontTag(kTicketLine) + line.toHtmlEscaped() + QStringLiteral("</a><br/>");
    }
    return html;
}

ReceiptWriter::ReceiptWriter(const ReceiptLook& look, const QString& titleHtml) : m_look(look) {
    m_html = QStringLiteral("<html> <p style='font-size: %1px;'>&nbsp;&nbsp; 岚舟门店</p> <br> ")
                 .arg(QString::number(look.bannerPx)) +
             fontTag(look.text) + titleHtml + QStringLiteral("</a>");
}

ReceiptWriter& ReceiptWriter::fontLine(const Font& font, const QString& caption, const QString& value) {
    m_html += QStringLiteral("<br>") + fontTag(font) + caption + value.toHtmlEscaped() + QStringLiteral("</a>");
    return *this;
}

ReceiptWriter& ReceiptWriter::line(const QString& caption, const QString& value) {
    return fontLine(m_look.text, caption, value);
}

ReceiptWriter& ReceiptWriter::emphasis(const QString& caption, const QString& value) {
    return fontLine(m_look.emphasis, caption, value);
}

ReceiptWriter& ReceiptWriter::rule(int dashes) {
    m_html += QStringLiteral("<br>") + separatorHtml(dashes);
    return *this;
}

ReceiptWriter& ReceiptWriter::stub() {
    rule();
    line(QStringLiteral("商户存根") + nbsp(m_look.stubSpaces) + QStringLiteral("SHOP") + nbsp(5) +
         QStringLiteral("COPY"));
    return rule();
}

ReceiptWriter& ReceiptWriter::remark(const QString& orderNo) {
    line(QStringLiteral("备注："));
    line(QStringLiteral("交易订单号："));
    return line(QString(), orderNo);
}

ReceiptWriter& ReceiptWriter::signature() {
    fontLine(m_look.signature, QStringLiteral("持卡人签名(CARDHOLDER SIGNATURE)"), QString());
    // Room to sign: three empty lines above the rule.
    html(QStringLiteral("<br><br><br>"));
    rule(m_look.signatureDashes);
    return fontLine(m_look.signature, QStringLiteral("本人确认以上交易，同意将其计入交易账户"), QString());
}

ReceiptWriter& ReceiptWriter::html(const QString& markup) {
    m_html += markup;
    return *this;
}

QString ReceiptWriter::finish() const {
    return m_html + QStringLiteral("</html>");
}

}  // namespace receipts

#pragma once

#include <QString>
#include <QStringList>

// The one writer of the paper receipts' HTML. Every kind of receipt is the store banner, a title line, then lines in
// the kind's fonts, dashed rules and blocks already in HTML; the kinds differ only in what they list and in their
// look. Values are HTML-escaped here, captions and titles are the receipts' own text.
namespace receipts {

// A font of the receipt's lines (the family is the same for all).
struct Font {
    int px = 23;
    bool bold = false;
};

// What tells one kind of receipt from another in print.
struct ReceiptLook {
    int bannerPx = 30;         // the store banner
    Font text;                 // ordinary lines and the title
    Font emphasis;             // the amounts (on the sale receipt the channel too)
    int stubSpaces = 15;       // between 商户存根 and SHOP
    Font signature;            // the signature line and the confirmation under it
    int signatureDashes = 25;  // the rule under the signature space
};

class ReceiptWriter {
public:
    // Starts the receipt with the banner and `titleHtml` (markup: it may carry &nbsp;) in the text font.
    ReceiptWriter(const ReceiptLook& look, const QString& titleHtml);

    // A line in the text font: `caption` as written, then `value` escaped.
    ReceiptWriter& line(const QString& caption, const QString& value = QString());
    // A line in the emphasis font.
    ReceiptWriter& emphasis(const QString& caption, const QString& value);
    // A rule of `dashes` dashes on a line of its own.
    ReceiptWriter& rule(int dashes = 25);
    // The merchant-stub marker (商户存根 SHOP COPY) between two rules.
    ReceiptWriter& stub();
    // 备注, 交易订单号 and the order number, each on its line.
    ReceiptWriter& remark(const QString& orderNo);
    // The cardholder's signature space, its rule and the confirmation under it.
    ReceiptWriter& signature();
    // Markup as it is: a block built elsewhere (the ticket lines), or breaks and rules a layout wants without a line.
    ReceiptWriter& html(const QString& markup);

    // The finished receipt, from "<html>" to "</html>".
    QString finish() const;

private:
    ReceiptWriter& fontLine(const Font& font, const QString& caption, const QString& value);

    ReceiptLook m_look;
    QString m_html;
};

// A separator rule of `dashes` dashes in the receipts' small font.
QString separatorHtml(int dashes);

// `n` non-breaking spaces, the receipts' way of indenting.
QString nbsp(int n);

// A receipt's ticket block: empty without lines, else the 购票信息 heading and one small line each (escaped).
QString ticketBlockHtml(const QStringList& lines);

}  // namespace receipts

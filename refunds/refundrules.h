#pragma once

#include "core/refundservice.h"

#include <QList>
#include <QString>
#include <QStringList>

// The rules of the refund dialog, free of widgets so they can be tested row by row. (The refund password pages'
// rules are with the other password rules, settings/passwordrules.h.)
namespace refundrules {

// ---- refund amount ----

// What the typed refund amount allows: `fen` to send, or the message that stops the refund.
struct AmountCheck {
    bool ok = false;
    qint64 fen = 0;
    QString message;  // for the box the dialog shows when !ok
};

// The refund amount typed in yuan against the order amount in fen (the row's "money" text). Only a positive amount
// with at most two decimals that does not exceed the order goes out: money sent back cannot be taken back, so text
// that is not such an amount is refused rather than read as 0 or rounded.
AmountCheck checkRefundAmount(const QString& typed, const QString& orderMoneyFen);

// ---- returned items ----

// An item of the order ("Account.Pay.cards"); one handed back with an earlier refund can no longer be chosen.
using Item = replies::CardItem;

// The text of an item's box, which is also what the gateway receives for it: "A08(20元)".
QString itemBoxText(const Item& item);
// The "cardno" field of a refund: the texts of the checked boxes, each followed by ","; empty when none.
QString cardNoField(const QStringList& checkedTexts);

// Where the item list puts things: box i at y = 30 i + 5, and how much the dialog grows for n boxes.
struct ItemListLayout {
    int contentHeight = 0;  // height of the scroll area's content widget
    int listHeight = 0;     // fixed height of the scroll area: up to four rows show, more scroll
    int grow = 0;           // what the panel and the dialog gain, and how far the widgets below the list move down
};
constexpr int kItemRowHeight = 30;
int itemBoxY(int index);
// n = 0 (a non-zero "count" without boxes) leaves the dialog as built.
ItemListLayout itemListLayout(int boxes);

}  // namespace refundrules

#pragma once

#include "gateway/replies.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The rules of the refund dialog and the refund password pages, free of widgets so they can be tested row by row.
namespace refundrules {

// ---- refund amount ----

// What the typed refund amount allows: `fen` to send, or the message that stops the refund.
struct AmountCheck {
    bool ok = false;
    qint64 fen = 0;
    QString message;  // for the "温馨提示" box when !ok
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

// ---- refund password pages ----

// Checks of the change page (current, new, repeated), in the order the cashier is told; empty when all pass.
QString checkPasswordChange(const QString& oldPwd, const QString& pwd, const QString& pwd1);

// Where the set/reset page stands with the stored security question.
enum class QuestionState {
    Pending,  // the query is still out
    Failed,   // the query got no gateway answer: whether a question exists is not known
    None,     // the account has no question: set mode
    Stored,   // the account has one, shown and locked: reset mode
};

enum class PasswordAction {
    Refuse,  // nothing is sent; `message` says why
    Set,     // "Share.Ace.setRefundPassword": the first question, answer and password
    Reset,   // "Share.Ace.editRefundPassword": answer the stored question
};

struct PasswordChoice {
    PasswordAction action = PasswordAction::Refuse;
    QString message;
};

// The action of the set/reset page's submit. A question typed in set mode needs 6 characters; the stored question in
// reset mode is the gateway's and is not measured. Nothing goes out before the question query has answered, so a
// "set" can never be sent for an account that already has a question.
PasswordChoice choosePasswordAction(QuestionState state, const QString& question, const QString& answer,
                                    const QString& pwd, const QString& pwd1);

// Messages the pages show on their own.
QString questionPendingMessage();
QString questionFailedMessage();
QString networkFailedMessage();
// A change reply as the cashier is told it: "操作成功" when accepted, else the gateway's text ("操作失败" without one).
QString changeMessage(const replies::Status& status);

}  // namespace refundrules

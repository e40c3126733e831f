#pragma once

#include "core/passwordservice.h"

#include <QString>

// The rules of the password pages (the login password, the refund password's change and its set/reset by security
// question), free of widgets so they can be tested row by row.
namespace passwordrules {

// ---- login password ----

constexpr int kLoginMinLength = 6;

// The first reason to refuse a login password change, in the order the page checks: the current password, then the
// new one's length, then the repetition. Empty when the change may be sent.
QString loginChangeProblem(bool currentPasswordMatches, const QString& newPwd, const QString& again);

// ---- refund password ----

// Checks of the refund password's change page (current, new, repeated), in the order the cashier is told; empty
// when all pass.
QString refundChangeProblem(const QString& oldPwd, const QString& pwd, const QString& pwd1);

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

// Messages the refund password pages show on their own.
QString questionPendingMessage();
QString questionFailedMessage();
QString networkFailedMessage();
// A change reply as the cashier is told it: "操作成功" when accepted, else the gateway's text ("操作失败" without one).
QString changeMessage(const replies::Status& status);

}  // namespace passwordrules

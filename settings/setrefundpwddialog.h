#pragma once

#include "core/passwordservice.h"
#include "settings/passwordrules.h"

#include <QWidget>
#include <memory>

namespace Ui {
class SetRefundPwdDialog;
}

// Settings page "忘记退款密码". Without a stored security question the cashier sets question, answer and refund
// password (set mode); with one, the question is shown locked and answering it sets a new refund password (reset
// mode). Nothing is sent before the gateway has said which mode applies.
class SetRefundPwdDialog : public QWidget {
    Q_OBJECT
public:
    // `account` is the signed-in account, shown on the page.
    SetRefundPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent);
    ~SetRefundPwdDialog() override;

    passwordrules::QuestionState questionState() const { return m_state; }

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const replies::Status& status);
    void onQuestionResult(const replies::Read<QString>& read);

private:
    std::unique_ptr<Ui::SetRefundPwdDialog> ui;
    PasswordService& m_passwords;
    passwordrules::QuestionState m_state = passwordrules::QuestionState::Pending;
};

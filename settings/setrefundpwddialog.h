#pragma once

#include "core/services.h"
#include "settings/passwordrules.h"

#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class SetRefundPwdDialog;
}

// Settings page "忘记退款密码". Without a stored security question the cashier sets question, answer and refund
// password (set mode); with one, the question is shown locked and answering it sets a new refund password (reset
// mode). Nothing is sent before the gateway has said which mode applies.
class SetRefundPwdDialog : public QWidget {
    Q_OBJECT
public:
    SetRefundPwdDialog(Till& till, QWidget* parent);
    ~SetRefundPwdDialog() override;

    passwordrules::QuestionState questionState() const { return m_state; }

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const replies::Status& status);
    void onQuestionResult(const replies::Read<QString>& read);

private:
    std::unique_ptr<Ui::SetRefundPwdDialog> ui;
    Till& m_till;
    passwordrules::QuestionState m_state = passwordrules::QuestionState::Pending;
};

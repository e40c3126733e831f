#include "setrefundpwddialog.h"

#include "app/shown.h"
#include "ui_SetRefundPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

using passwordrules::PasswordAction;
using passwordrules::QuestionState;

SetRefundPwdDialog::SetRefundPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetRefundPwdDialog>()), m_passwords(passwords) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(account);
    m_passwords.question(this, [this](const replies::Read<QString>& read) { onQuestionResult(read); });
}

SetRefundPwdDialog::~SetRefundPwdDialog() = default;

void SetRefundPwdDialog::onQuestionResult(const replies::Read<QString>& read) {
    if (!read.ok()) {
        // Without the answer a "set" could go out for an account that already has a question.
        m_state = QuestionState::Failed;
        msgbox::critical(
            this, msgbox::Title::Tip,
            read.status.refused() ? display::shown(read.status.message) : passwordrules::questionFailedMessage());
        return;
    }
    const QString question = read.value;
    if (question.isEmpty()) {
        m_state = QuestionState::None;
        return;
    }
    m_state = QuestionState::Stored;
    ui->txtQuestion->setText(question);
    ui->txtQuestion->setEnabled(false);
}

void SetRefundPwdDialog::on_btnOk_clicked() {
    const passwordrules::PasswordChoice choice = passwordrules::choosePasswordAction(
        m_state, ui->txtQuestion->text(), ui->txtAnswer->text(), ui->txtPwd->text(), ui->txtPwd1->text());
    if (choice.action == PasswordAction::Refuse) {
        msgbox::critical(this, msgbox::Title::Tip, choice.message);
        return;
    }
    // One change at a time: a second press would only repeat it.
    ui->btnOk->setEnabled(false);
    m_passwords.setRefund(this, choice.action == PasswordAction::Reset, ui->txtPwd->text(), ui->txtPwd1->text(),
                          ui->txtAnswer->text(), ui->txtQuestion->text(),
                          [this](const replies::Status& status) { onModifyResult(status); });
}

void SetRefundPwdDialog::onModifyResult(const replies::Status& status) {
    ui->btnOk->setEnabled(true);
    if (!status.answered()) {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::networkFailedMessage());
        return;
    }
    if (status.ok()) {
        // A question set here is the account's from now on: the page continues in reset mode.
        if (m_state == QuestionState::None) {
            m_state = QuestionState::Stored;
            ui->txtQuestion->setEnabled(false);
        }
        msgbox::information(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    } else {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    }
}

#include "setrefundpwddialog.h"

#include "app/usersession.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "ui_SetRefundPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

using passwordrules::PasswordAction;
using passwordrules::QuestionState;

SetRefundPwdDialog::SetRefundPwdDialog(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetRefundPwdDialog>()) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(userSession().uname());
    gateway::post(this, requests::getQuestion(userSession().token()),
                  [this](const gateway::Reply& r) { onQuestionResult(r); });
}

SetRefundPwdDialog::~SetRefundPwdDialog() = default;

void SetRefundPwdDialog::onQuestionResult(const gateway::Reply& r) {
    const replies::Read<QString> read = replies::question(r);
    if (!read.ok()) {
        // Without the answer a "set" could go out for an account that already has a question.
        m_state = QuestionState::Failed;
        msgbox::critical(
            this, msgbox::Title::Tip,
            read.status.refused() ? replies::shown(read.status.message) : passwordrules::questionFailedMessage());
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
    const UserSession& session = userSession();
    const RequestBody body =
        choice.action == PasswordAction::Reset
            ? requests::editRefundPassword(session.token(), ui->lblzh->text(), ui->txtPwd->text(), ui->txtPwd1->text(),
                                           ui->txtAnswer->text(), ui->txtQuestion->text())
            : requests::setRefundPassword(session.token(), ui->lblzh->text(), ui->txtPwd->text(), ui->txtPwd1->text(),
                                          ui->txtAnswer->text(), ui->txtQuestion->text());
    // One change at a time: a second press would only repeat it.
    ui->btnOk->setEnabled(false);
    gateway::post(this, body, [this](const gateway::Reply& r) { onModifyResult(r); });
}

void SetRefundPwdDialog::onModifyResult(const gateway::Reply& r) {
    ui->btnOk->setEnabled(true);
    const replies::Status status = replies::refundPasswordChange(r);
    if (status.transport != gateway::Reply::Envelope) {
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

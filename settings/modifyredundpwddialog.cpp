#include "modifyredundpwddialog.h"

#include "app/usersession.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "settings/passwordrules.h"
#include "ui_ModifyRedundPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

ModifyRedundPwdDialog::ModifyRedundPwdDialog(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ModifyRedundPwdDialog>()) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(userSession().uname());
}

ModifyRedundPwdDialog::~ModifyRedundPwdDialog() = default;

void ModifyRedundPwdDialog::on_btnOk_clicked() {
    const QString problem =
        passwordrules::refundChangeProblem(ui->txtOldPwd->text(), ui->txtPwd->text(), ui->txtPwd1->text());
    if (!problem.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, problem);
        return;
    }
    // One change at a time: a second press would only repeat it.
    ui->btnOk->setEnabled(false);
    gateway::post(this,
                  requests::editRefundPassword1(userSession().token(), ui->lblzh->text(), ui->txtPwd->text(),
                                                ui->txtPwd1->text(), ui->txtOldPwd->text()),
                  [this](const gateway::Reply& r) { onModifyResult(r); });
}

void ModifyRedundPwdDialog::onModifyResult(const gateway::Reply& r) {
    ui->btnOk->setEnabled(true);
    const replies::Status status = replies::refundPasswordChange(r);
    if (status.transport != gateway::Reply::Envelope) {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::networkFailedMessage());
    } else if (status.ok()) {
        msgbox::information(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    } else {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    }
}

#include "modifyredundpwddialog.h"

#include "settings/passwordrules.h"
#include "ui_ModifyRedundPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

ModifyRedundPwdDialog::ModifyRedundPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ModifyRedundPwdDialog>()), m_passwords(passwords) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(account);
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
    m_passwords.changeRefund(this, ui->txtPwd->text(), ui->txtPwd1->text(), ui->txtOldPwd->text(),
                             [this](const replies::Status& status) { onModifyResult(status); });
}

void ModifyRedundPwdDialog::onModifyResult(const replies::Status& status) {
    ui->btnOk->setEnabled(true);
    if (!status.answered()) {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::networkFailedMessage());
    } else if (status.ok()) {
        msgbox::information(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    } else {
        msgbox::critical(this, msgbox::Title::Tip, passwordrules::changeMessage(status));
    }
}

#include "settings/modifypwddialog.h"

#include "app/shown.h"
#include "settings/passwordrules.h"
#include "ui_ModifyPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

ModifyPwdDialog::ModifyPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ModifyPwdDialog>()), m_passwords(passwords) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(account);
    // The login window takes letters and digits only: a password with anything else could never be typed there.
    auto* validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[A-Za-z0-9]+$")), this);
    ui->txtOldPwd->setValidator(validator);
    ui->txtPwd->setValidator(validator);
    ui->txtPwd1->setValidator(validator);
}

ModifyPwdDialog::~ModifyPwdDialog() = default;

void ModifyPwdDialog::on_btnOk_clicked() {
    if (!ui->btnOk->isEnabled()) {
        return;
    }
    const QString newPwd = ui->txtPwd->text();
    const QString problem = passwordrules::loginChangeProblem(m_passwords.loginPasswordMatches(ui->txtOldPwd->text()),
                                                              newPwd, ui->txtPwd1->text());
    if (!problem.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, problem);
        return;
    }
    // One change at a time: the button comes back with the answer.
    ui->btnOk->setEnabled(false);
    // Once accepted, the next check on this page and the next login compare with the new password.
    m_passwords.changeLogin(this, newPwd, ui->txtPwd1->text(),
                            [this](const replies::Status& status) { onModifyResult(status); });
}

void ModifyPwdDialog::onModifyResult(const replies::Status& status) {
    ui->btnOk->setEnabled(true);
    if (status.unanswered()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("网络异常，未能确认密码是否已修改，请检查网络设置"));
        return;
    }
    if (!status.answered()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("修改密码失败，请检查网络设置"));
        return;
    }
    const QString msg = display::shown(status.message);
    if (!status.ok()) {
        msgbox::critical(this, msgbox::Title::Tip, msg.isEmpty() ? QStringLiteral("修改密码失败") : msg);
        return;
    }
    msgbox::information(this, msgbox::Title::Tip, msg.isEmpty() ? QStringLiteral("修改成功") : msg);
}

#include "settings/modifypwddialog.h"

#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "settings/passwordrules.h"
#include "ui_ModifyPwdDialog.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

ModifyPwdDialog::ModifyPwdDialog(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::ModifyPwdDialog>()) {
    ui->setupUi(this);
    windowstyle::plainLabels({ui->lblzh});
    ui->lblzh->setText(userSession().uname());
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
    const QString problem = passwordrules::loginChangeProblem(dataConfig().verifyLoginPassword(ui->txtOldPwd->text()),
                                                              newPwd, ui->txtPwd1->text());
    if (!problem.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, problem);
        return;
    }
    // One change at a time: the button comes back with the answer.
    ui->btnOk->setEnabled(false);
    m_sentPwd = newPwd;
    gateway::post(this, requests::editPassword(userSession().token(), ui->lblzh->text(), newPwd, ui->txtPwd1->text()),
                  [this](const gateway::Reply& r) { onModifyResult(r); });
}

void ModifyPwdDialog::onModifyResult(const gateway::Reply& r) {
    ui->btnOk->setEnabled(true);
    const QString sent = m_sentPwd;
    m_sentPwd.clear();
    switch (r.kind) {
        case gateway::Reply::Envelope:
            break;
        case gateway::Reply::Unknown:
            msgbox::critical(this, msgbox::Title::Tip,
                             QStringLiteral("网络异常，未能确认密码是否已修改，请检查网络设置"));
            return;
        case gateway::Reply::NotSent:
        case gateway::Reply::NotEnvelope:
            msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("修改密码失败，请检查网络设置"));
            return;
    }
    const replies::Status status = replies::passwordChange(r);
    const QString msg = replies::shown(status.message);
    if (!status.ok()) {
        msgbox::critical(this, msgbox::Title::Tip, msg.isEmpty() ? QStringLiteral("修改密码失败") : msg);
        return;
    }
    // The next check on this page, and the next login, compare with the new password.
    dataConfig().storeLoginPassword(sent);
    msgbox::information(this, msgbox::Title::Tip, msg.isEmpty() ? QStringLiteral("修改成功") : msg);
}

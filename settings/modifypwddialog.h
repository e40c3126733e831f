#pragma once

#include "core/passwordservice.h"

#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class ModifyPwdDialog;
}

// Settings page "密码设置": the signed-in cashier changes the gateway login password. The current password is checked
// here against the digest the last login stored; only the new one goes to the gateway.
class ModifyPwdDialog : public QWidget {
    Q_OBJECT
public:
    // `account` is the signed-in account, shown on the page.
    ModifyPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent);
    ~ModifyPwdDialog() override;

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const replies::Status& status);

private:
    std::unique_ptr<Ui::ModifyPwdDialog> ui;
    PasswordService& m_passwords;
};

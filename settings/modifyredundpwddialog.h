#pragma once

#include "core/passwordservice.h"

#include <QWidget>
#include <memory>

namespace Ui {
class ModifyRedundPwdDialog;
}

// Settings page "修改退款密码": a new refund password in exchange for the current one. The gateway checks the
// current one; the page only checks lengths and the repetition.
class ModifyRedundPwdDialog : public QWidget {
    Q_OBJECT
public:
    // `account` is the signed-in account, shown on the page.
    ModifyRedundPwdDialog(PasswordService& passwords, const QString& account, QWidget* parent);
    ~ModifyRedundPwdDialog() override;

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const replies::Status& status);

private:
    std::unique_ptr<Ui::ModifyRedundPwdDialog> ui;
    PasswordService& m_passwords;
};

#pragma once

#include "core/services.h"

#include <QString>
#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class ModifyPwdDialog;
}

// Settings page "密码设置": the signed-in cashier changes the gateway login password. The current password is checked
// here against the digest the last login stored; only the new one goes to the gateway.
class ModifyPwdDialog : public QWidget {
    Q_OBJECT
public:
    ModifyPwdDialog(Till& till, QWidget* parent);
    ~ModifyPwdDialog() override;

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const replies::Status& status);

private:
    std::unique_ptr<Ui::ModifyPwdDialog> ui;
    Till& m_till;
};

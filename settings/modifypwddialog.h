#pragma once

#include "gateway/gatewaycall.h"

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
    explicit ModifyPwdDialog(QWidget* parent);
    ~ModifyPwdDialog() override;

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const gateway::Reply& r);

private:
    std::unique_ptr<Ui::ModifyPwdDialog> ui;
    QString m_sentPwd;  // the new password while its request is out
};

#pragma once

#include "gateway/gatewaycall.h"

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
    explicit ModifyRedundPwdDialog(QWidget* parent);
    ~ModifyRedundPwdDialog() override;

public slots:
    void on_btnOk_clicked();
    void onModifyResult(const gateway::Reply& r);

private:
    std::unique_ptr<Ui::ModifyRedundPwdDialog> ui;
};

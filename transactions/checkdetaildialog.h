#pragma once

#include "payments/reconcile.h"

#include <QDialog>
#include <memory>

namespace Ui {
class CheckDetailDialog;
}

// The 明细 of the handover check: one row per entry of this till's record that the gateway does not confirm.
class CheckDetailDialog : public QDialog {
    Q_OBJECT

public:
    CheckDetailDialog(const QList<reconcile::Finding>& findings, QWidget* parent = nullptr);
    ~CheckDetailDialog() override;

public slots:
    void on_btnClose_clicked();

private:
    std::unique_ptr<Ui::CheckDetailDialog> ui;
};

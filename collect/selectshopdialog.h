#pragma once

#include "core/storeservice.h"

#include <QByteArray>
#include <QDialog>
#include <memory>

namespace Ui {
class SelectShopDialog;
}

// After login the cashier picks the store the following charges are made for. The choice goes to the session
// (currentShop) and its display text to data.ini (shopName).
class SelectShopDialog : public QDialog {
    Q_OBJECT
public:
    // Sends the store request at once.
    explicit SelectShopDialog(StoreService& stores, QWidget* parent = nullptr);
    ~SelectShopDialog() override;

signals:
    // "确认收款": the dialog has hidden itself and saved shopName; the shell shows the main window.
    void shopConfirmed();
    // The close control: no store to be had (or the cashier signed in with the wrong account); the dialog has hidden
    // itself and the login window takes over.
    void backToLogin();

public slots:
    void slot_requestFinished(const replies::Read<QList<Shop>>& shops);
    void on_comboBox_currentIndexChanged(int index);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_close_btn_clicked();

protected:
    // Esc would hide the only window of the process with no way back; the close control is the way out.
    void reject() override;

private:
    void requestShops();

    std::unique_ptr<Ui::SelectShopDialog> ui;
    StoreService& m_stores;
};

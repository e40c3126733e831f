#pragma once

#include "floatwidget.h"
#include "gateway/gatewaycall.h"

#include <QByteArray>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

namespace Ui {
class LoginWidget;
}
class SelectShopDialog;

// The first window: checks the account and password locally, signs in at the gateway, fills the session and
// hands over to the store dialog.
class LoginWidget : public QWidget {
    Q_OBJECT
public:
    explicit LoginWidget(QWidget* parent = nullptr);
    ~LoginWidget() override;

    // The login stage's tray icon and floating icon; null once a login succeeded.
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    FloatWidget* floatWidget() const { return m_float; }
    // The store dialog opened by a successful login (null before, and after it led back here).
    SelectShopDialog* shopDialog() const { return m_shopDialog.get(); }

    static QString loginButtonStyle();
    static QString loadingButtonStyle();

public slots:
    void on_login_btn_clicked();
    void on_min_btn_clicked();
    void on_close_btn_clicked();
    void showWindow();
    void closeWindow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void slot_requestFinished(const gateway::Reply& reply);
    void slot_requestVersionFinished(const gateway::Reply& reply);
    void on_Rem_PassWord_clicked();
    void on_CmdLinkButton_clicked();
    // The store dialog gave up (no store to be had): this window takes over again, signed out.
    void returnFromShopDialog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setWaiting(bool waiting);
    void setUpTrayStage();
    void startVersionCheck();

    std::unique_ptr<Ui::LoginWidget> ui;
    QString m_user;
    QString m_pwd;
    bool rememberFlag = false;
    QPointer<QSystemTrayIcon> m_tray;
    QPointer<FloatWidget> m_float;
    std::unique_ptr<SelectShopDialog> m_shopDialog;
};

#pragma once

#include "floatwidget.h"
#include "core/signinservice.h"

#include <QByteArray>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

namespace Ui {
class LoginWidget;
}
class SelectShopDialog;
class Till;

// The first window: checks the account and password locally, signs in at the gateway, fills the session and
// hands over to the store dialog.
class LoginWidget : public QWidget {
    Q_OBJECT
public:
    // `openSettings` opens the settings hub for the tray menu and the floating icon of the login stage.
    explicit LoginWidget(Till& till, SettingsOpener openSettings = {}, QWidget* parent = nullptr);
    ~LoginWidget() override;

    // The login stage's tray icon and floating icon; null once a login succeeded.
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    FloatWidget* floatWidget() const { return m_float; }
    // The store dialog opened by a successful login (null before, and after it led back here).
    SelectShopDialog* shopDialog() const { return m_shopDialog.get(); }

public slots:
    void on_login_btn_clicked();
    void on_min_btn_clicked();
    void on_close_btn_clicked();
    void showWindow();
    void closeWindow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void slot_requestFinished(const replies::Read<replies::Login>& login);
    void slot_requestVersionFinished(const replies::Read<replies::VersionOffer>& offer);
    void on_Rem_PassWord_clicked();
    void on_CmdLinkButton_clicked();
    // The store dialog gave up (no store to be had): this window takes over again, signed out.
    void returnFromShopDialog();

signals:
    // A store was confirmed after sign-in: the session's main window comes up (the shell shows it).
    void shopConfirmed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setWaiting(bool waiting);
    void setUpTrayStage();
    void startVersionCheck();

    std::unique_ptr<Ui::LoginWidget> ui;
    Till& m_till;
    SettingsOpener m_openSettings;
    bool rememberFlag = false;
    QPointer<QSystemTrayIcon> m_tray;
    QPointer<FloatWidget> m_float;
    std::unique_ptr<SelectShopDialog> m_shopDialog;
};

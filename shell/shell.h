#pragma once

#include "widgets/settingspage.h"

#include <QObject>
#include <QPointer>
#include <QString>

class Till;
class LoginWidget;
class MainWindow;
class SettingMain;

// The shell's windows of one run: the login window, the settings hub and the main window of the session. main()
// owns it; the windows are released once the event loop has ended, while the application object still exists.
class Shell : public QObject {
    Q_OBJECT
public:
    explicit Shell(Till& till);
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Shows the login window (it may start the version check).
    void showLogin();
    // Tells the cashier something found at start (the payment journal's state) in a box over the login window, once
    // the event loop runs and the window is up.
    void tellCashierAtStart(const QString& text);
    // Creates the hidden settings hub.
    void createSettingsHub();
    // What every window that opens a settings page is handed: opens the hub on the page (nothing before the hub
    // exists).
    SettingsOpener settingsOpener();
    // Shows the main window, creating it on first use: a store was chosen after sign-in.
    MainWindow* showMainWindow();

    LoginWidget* loginWindow() const;
    MainWindow* mainWindow() const;
    SettingMain* settingsHub() const;

private:
    void releaseWindows();

    Till& m_till;
    QPointer<LoginWidget> m_login;
    QPointer<SettingMain> m_hub;
    QPointer<MainWindow> m_main;
};

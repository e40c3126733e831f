#include "shell.h"

#include "loginwidget.h"
#include "mainwindow.h"
#include "settings/settingmain.h"
#include "widgets/messagebox.h"

#include <QCoreApplication>
#include <QTimer>

Shell::Shell(Till& till) : m_till(till) {
    // Released right after the event loop ends, while the application object still exists.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Shell::releaseWindows);
}

Shell::~Shell() {
    releaseWindows();
}

void Shell::releaseWindows() {
    delete m_main.data();
    delete m_login.data();
    delete m_hub.data();
}

LoginWidget* Shell::loginWindow() const {
    return m_login;
}

MainWindow* Shell::mainWindow() const {
    return m_main;
}

SettingMain* Shell::settingsHub() const {
    return m_hub;
}

void Shell::showLogin() {
    m_login = new LoginWidget(m_till, settingsOpener());
    connect(m_login, &LoginWidget::shopConfirmed, this, &Shell::showMainWindow);
    m_login->show();
}

void Shell::tellCashierAtStart(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { msgbox::warning(m_login.data(), msgbox::Title::Tip, text); });
}

void Shell::createSettingsHub() {
    m_hub = new SettingMain(m_till);
}

SettingsOpener Shell::settingsOpener() {
    return [this](SettingsPage page) {
        if (m_hub) {
            m_hub->open(page);
        }
    };
}

MainWindow* Shell::showMainWindow() {
    if (!m_main) {
        m_main = new MainWindow(m_till, settingsOpener());
        m_main->lookBackAfterSignIn();
    }
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
    return m_main;
}

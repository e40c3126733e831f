#pragma once

#include "widgets/settingspage.h"

#include <QMenu>

class DataConfig;

class QAction;

// The one context menu of the program: the tray icons of the login and main windows and the floating icon's
// right-click menu. Owners connect the signals they want.
class TrayMenu : public QMenu {
    Q_OBJECT
public:
    explicit TrayMenu(DataConfig& settings, QWidget* parent = nullptr);
    ~TrayMenu() override;

    // Action by its entry text (tests and owners that need to reach one entry).
    QAction* actionByText(const QString& text) const;

signals:
    void showWindow();
    void quitWindow();
    void doSetting(SettingsPage type);

public slots:
    void home_action_triggered();
    void about_action_triggered();

private:
    DataConfig& m_settings;
};

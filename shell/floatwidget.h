#pragma once

#include "widgets/settingspage.h"

#include <QWidget>
#include <memory>

class DataConfig;
namespace Ui {
class FloatWidget;
}
class TrayMenu;

// The small always-on-top icon that stands in for a window hidden to the tray. A double click brings the owner
// back; a right click offers the tray menu.
class FloatWidget : public QWidget {
    Q_OBJECT
public:
    // `owner` is also the parent, so the icon never counts as a last window and goes away with its owner. The menu's
    // settings entries open their pages through `openSettings`.
    FloatWidget(DataConfig& settings, QWidget* owner, SettingsOpener openSettings);
    ~FloatWidget() override;

    QWidget* ownerWindow() const { return m_owner; }
    // The right-click menu, built on first use (null before).
    TrayMenu* menu() const { return m_menu; }

public slots:
    // Shows, raises and activates the owner directly; the owner's own restore steps do not run.
    void showWindow();
    void closeWindow();
    void doSetting(SettingsPage type);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::unique_ptr<Ui::FloatWidget> ui;
    QWidget* m_owner;
    DataConfig& m_settings;
    TrayMenu* m_menu = nullptr;
    SettingsOpener m_openSettings;
};

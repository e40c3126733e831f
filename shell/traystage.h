#pragma once

class QSystemTrayIcon;
class QWidget;
class FloatWidget;

// Shared by the login and main windows: hide to the tray, tell the cashier where the window went, show the
// floating icon in its place.
namespace traystage {

void hideToTray(QWidget* window, QSystemTrayIcon* tray, FloatWidget* floatWidget);

}  // namespace traystage

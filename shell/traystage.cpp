#include "traystage.h"

#include "floatwidget.h"

#include <QSystemTrayIcon>

namespace traystage {

void hideToTray(QWidget* window, QSystemTrayIcon* tray, FloatWidget* floatWidget) {
    window->hide();
    if (tray) {
        tray->showMessage(QStringLiteral("最小化提示"), QStringLiteral("程序已最小化到系统托盘"),
                          QSystemTrayIcon::Information, 10000);
    }
    if (floatWidget) {
        floatWidget->show();
    }
}

}  // namespace traystage

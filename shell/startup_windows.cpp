#include "startup_windows.h"

#include "loginwidget.h"
#include "settings/settingmain.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
// Released right after the event loop ends, while the application object still exists.
template <typename W>
W* keepUntilQuit(W* window) {
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [guard = QPointer<W>(window)] { delete guard; });
    return window;
}
}  // namespace

void showLoginWindow() {
    keepUntilQuit(new LoginWidget)->show();
}

void createSettingsHub() {
    keepUntilQuit(new SettingMain);
}

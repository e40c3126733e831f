#include "startup_windows.h"

#include "loginwidget.h"
#include "settings/settingmain.h"
#include "widgets/messagebox.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {
// Released right after the event loop ends, while the application object still exists.
template <typename W>
W* keepUntilQuit(W* window) {
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [guard = QPointer<W>(window)] { delete guard; });
    return window;
}

QPointer<LoginWidget> loginWindow;
}  // namespace

void showLoginWindow(Till& till) {
    loginWindow = keepUntilQuit(new LoginWidget(till, settingsOpener()));
    loginWindow->show();
}

void tellCashierAtStart(const QString& text) {
    QTimer::singleShot(0, qApp, [text] { msgbox::warning(loginWindow.data(), msgbox::Title::Tip, text); });
}

void createSettingsHub(Till& till) {
    keepUntilQuit(new SettingMain(till));
}

SettingsOpener settingsOpener() {
    return [](SettingsPage page) {
        if (SettingMain* hub = settingHub()) {
            hub->open(page);
        }
    };
}

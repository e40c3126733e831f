#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/startup.h"
#include "journal/journal.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>

#ifdef CASHIER_HAS_SHELL
#include "shell/startup_windows.h"
#endif

int main(int argc, char* argv[]) {
    // 1. The application object; arguments are not interpreted.
    QApplication app(argc, argv);

    // 2. Autostart entry in line with the stored choice.
    syncAutostart();

    // The payment journal beside data.ini, before any window can move money.
    const QString journalNotice = journal::openAtStartup(QFileInfo(dataConfig().fileName()).absolutePath());

#ifdef CASHIER_HAS_SHELL
    // 3. The login window (it may start the version check).
    showLoginWindow();
    if (!journalNotice.isEmpty()) {
        tellCashierAtStart(journalNotice);
    }
#else
    if (!journalNotice.isEmpty()) {
        qWarning().noquote() << journalNotice;
    }
#endif

    // 4. The configuration record.
    loadComConfig();

#ifdef CASHIER_HAS_SHELL
    // 5. The settings hub exists from here on, hidden until asked for.
    createSettingsHub();
#endif

    // 6. The event loop.
    return app.exec();
}

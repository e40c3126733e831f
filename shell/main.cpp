#include "app/oplog.h"
#include "app/startup.h"
#include "core/till.h"
#include "platform/platform.h"
#include "receipts/printhtmlreceipt.h"
#include "shell/shell.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    // The windows are laid out in fixed pixels: on a scaled screen Qt scales them (and picks the images' @2x copies)
    // rather than drawing them tiny. Windows' own factors (125, 150, 175 %) pass through as they are: Qt 5's default
    // rounds 1.5 up to 2, and the 800x600 main window would not fit a 1920x1080 screen at 150 %.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(platform::scaleFactorRounding());
    skipOpenGlForWindows();

    // 1. The application object (arguments are not interpreted), Qt's own texts in Chinese and the style sheet its
    //    windows share.
    QApplication app(argc, argv);
    // The settings, journal and log live in the working directory: a start from where they must not be kept (the
    // Windows Run key starts programs in the system folder) moves to the cashier's own folder first.
    platform::settleWorkingDirectory();
    // The till: the session, the settings files beside each other in the working directory, the journal, the serial
    // bridge and the services every window asks the gateway through. It outlives every window.
    Till till(QDir::currentPath());
    // The operations log beside data.ini, first, so that it holds the whole run.
    oplog::startForClient(till.settings().logFolder(), till.folder(), QCoreApplication::arguments());
    loadQtChinese();
    windowstyle::applyApplicationStyle();
    receipts::loadPrintSupport();

    // 2. Autostart entry in line with the stored choice.
    syncAutostart(till.settings());

    // The payment journal beside data.ini, before any window can move money.
    const QString journalNotice = till.openJournal();

    // 3. The login window (it may start the version check). The shell's windows are the shell's.
    Shell shell(till);
    shell.showLogin();
    if (!journalNotice.isEmpty()) {
        shell.tellCashierAtStart(journalNotice);
    }

    // 4. The configuration record.
    till.loadRecord();

    // 5. The settings hub exists from here on, hidden until asked for.
    shell.createSettingsHub();

    // 6. The event loop.
    const int exitCode = app.exec();
    oplog::endForClient(exitCode);
    return exitCode;
}

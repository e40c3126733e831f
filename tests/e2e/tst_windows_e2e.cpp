// The Windows client as a merchant gets it, under Wine on the test display, in a Windows account named in Chinese
// (scripts/windows/test.sh makes the prefix as user 收银台): the installer built by scripts/windows/build.sh installs
// it silently with the gateway's address, the all-users Start-menu entry starts it and it signs in to the (Linux)
// sandbox with no data.ini of its own; it charges a sale, writes the amount to the customer display on COM3 (a pty
// here), prints the receipt and a reprint to the CUPS capture queue (a Windows printer under Wine), keeps its
// autostart value in the registry; a newer setup upgrades it keeping the cashier's files, the older one is refused
// over it; at 150 % it is drawn 1.5 times as large; the uninstaller takes it away again. (Alt+Z through RegisterHotKey
// is tst_platform_win's.) The newer version arrives through 更新: the sandbox, as the vendor's site, names it and
// serves its signed setup, which is fetched, checked and installed once the client is quit; a setup changed by one
// byte is refused and the installed version keeps running.
// scripts/windows/test.sh runs it with CASHIER_WINDOWS_SETUP (the installer), CASHIER_WINDOWS_SETUP_NEWER (the same
// stage packed as a later version, without CASHIER_WINDOWS_DROPPED), CASHIER_WINDOWS_UPDATES (the vendor site's
// folder: the newer setup signed with the development key, and the setup of the version after it changed after
// signing) and WINEPREFIX (a new prefix); without them it is skipped.
#include "app/comconfig.h"
#include "e2edriver.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTextCodec>
#include <QtTest>

using namespace e2e;

namespace {

const QString kMain = QStringLiteral("柚屿智付");
const QString kRunKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kUninstallKey =
    QStringLiteral("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YouyuZhifuCashier");
const QString kInstalledProgram = QStringLiteral("C:\\Program Files\\YouyuZhifuCashier\\cashier.exe");
// ESC s 2 (the "total" lamp), ESC Q A 0.01 CR: what a keyed amount shows on the pole display.
const QByteArray kDisplayTotal = QByteArray::fromHex("1b73321b5141302e30310d");
// The reprint button of the transaction page's first row (the refund function off: the last of seven columns).
const QPoint kFirstReprint(10 + 1 + 680, 135 + 142 + 1 + 26 + 12);

struct Result {
    int exitCode = -1;
    QString output;
};

// A Wine command, waited for (Wine's first start in a prefix takes a while on a busy machine).
Result wine(const QStringList& args, int timeoutMs = 120000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("wine"), args);
    Result r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.output = QStringLiteral("(timed out) ");
    }
    r.output += QString::fromUtf8(p.readAll());
    if (p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    return r;
}

// One value of a registry key as `wine reg query` prints it; empty when it is not there.
QString regValue(const QString& key, const QString& name) {
    const Result r = wine({QStringLiteral("reg"), QStringLiteral("query"), key, QStringLiteral("/v"), name});
    const QRegularExpression line(QStringLiteral("^\\s*%1\\s+REG_\\w+\\s+(.*)$").arg(QRegularExpression::escape(name)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(r.output);
    return r.exitCode == 0 && m.hasMatch() ? m.captured(1).trimmed() : QString();
}

// Ends every Wine process of the prefix (the client among them) and waits until they are gone.
void stopWine() {
    QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-k")});
    QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-w")});
}

}  // namespace

class TestWindowsE2E : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void silentInstallWithTheGatewaySignsIn();
    void saleDisplayedPrintedAndReprinted();
    void changedSetupRefusedAndTheOldVersionRuns();
    void updateInstalledAfterQuitKeepsFilesAndAnOlderSetupIsRefused();
    void scaledAt150PercentNotRounded();
    void uninstallLeavesTheCashiersFiles();
    void cleanupTestCase();

private:
    // Started from the all-users Start-menu entry and signed in; the main window, empty when it did not come up.
    QString startAndSignIn();
    // Started from the Start menu with the version check on; 更新 answered; the updater's own box (after its
    // download and check), empty when it did not come.
    QString startAndTakeTheUpdate();
    // Quits the client as Windows asks a program to (WM_CLOSE to its windows), not by force.
    void quitClient();
    QString gatewayUrl() const {
        return QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(m_sandbox.port());
    }

    Sandbox m_sandbox;
    QString m_setup;
    QString m_newerSetup;
    QString m_driveC;
    QString m_program;
    QString m_cashierFolder;  // %LOCALAPPDATA%\Cashier of the account
    QString m_startMenuEntry;
    QString m_updates;
};

void TestWindowsE2E::initTestCase() {
    m_setup = qEnvironmentVariable("CASHIER_WINDOWS_SETUP");
    m_newerSetup = qEnvironmentVariable("CASHIER_WINDOWS_SETUP_NEWER");
    m_updates = qEnvironmentVariable("CASHIER_WINDOWS_UPDATES");
    if (m_setup.isEmpty() || m_newerSetup.isEmpty() || m_updates.isEmpty() ||
        qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        QSKIP(
            "needs CASHIER_WINDOWS_SETUP, CASHIER_WINDOWS_SETUP_NEWER, CASHIER_WINDOWS_UPDATES and WINEPREFIX: "
            "scripts/windows/test.sh runs it");
    }
    if (!haveDisplayAndTools({QStringLiteral("wine"), QStringLiteral("wineserver"), QStringLiteral("xdotool"),
                              QStringLiteral("socat"), QStringLiteral("sqlite3")})) {
        return;
    }
    QVERIFY2(QFile::exists(m_setup) && QFile::exists(m_newerSetup), qPrintable(m_setup + " " + m_newerSetup));
    m_driveC = qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/drive_c");
    m_program = m_driveC + QStringLiteral("/Program Files/YouyuZhifuCashier");
    const QString user = QStringLiteral("%1/users/%2").arg(m_driveC, qEnvironmentVariable("USER", "root"));
    m_cashierFolder = user + QStringLiteral("/AppData/Local/Cashier");
    m_startMenuEntry =
        m_driveC + QStringLiteral("/ProgramData/Microsoft/Windows/Start Menu/Programs/%1/%1.lnk").arg(kMain);
    m_sandbox.start({QStringLiteral("--updates"), m_updates});
    QVERIFY(m_sandbox.port() > 0);
}

QString TestWindowsE2E::startAndTakeTheUpdate() {
    const Result started = wine({QStringLiteral("start"), QStringLiteral("/unix"), m_startMenuEntry});
    if (started.exitCode != 0) {
        QTest::qFail(qPrintable(started.output), __FILE__, __LINE__);
        return QString();
    }
    const QString offer = waitForVisible(QStringLiteral("版本更新"), 30000);
    if (offer.isEmpty()) {
        QTest::qFail("the client offered no update", __FILE__, __LINE__);
        return QString();
    }
    // 更新 is the box's first button, which has the keyboard.
    pointAt(offer, 10, 10);
    key(QStringLiteral("Return"));
    // The updater's box has the same title: another window.
    QString told;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList boxes = visibleWindows(QStringLiteral("版本更新"));
            for (const QString& box : boxes) {
                if (box != offer) {
                    told = box;
                }
            }
            return !told.isEmpty();
        },
        120000);
    if (told.isEmpty()) {
        QTest::qFail("the updater said nothing", __FILE__, __LINE__);
    }
    return told;
}

void TestWindowsE2E::quitClient() {
    wine({QStringLiteral("taskkill"), QStringLiteral("/IM"), QStringLiteral("cashier.exe")});
}

QString TestWindowsE2E::startAndSignIn() {
    const Result started = wine({QStringLiteral("start"), QStringLiteral("/unix"), m_startMenuEntry});
    if (started.exitCode != 0) {
        QTest::qFail(qPrintable(started.output), __FILE__, __LINE__);
        return QString();
    }
    signInOnScreen(m_sandbox);
    const QString main = waitForVisible(kMain, QSize(800, 600), 30000);
    if (main.isEmpty()) {
        QTest::qFail("the main window did not come up", __FILE__, __LINE__);
    }
    return main;
}

void TestWindowsE2E::silentInstallWithTheGatewaySignsIn() {
    // An address that is no web address stops a silent install before anything is installed (exit code 4).
    QCOMPARE(wine({m_setup, QStringLiteral("/S"), QStringLiteral("/GATEWAY=pay.example.com")}).exitCode, 4);
    QVERIFY(!QFile::exists(m_program));

    // ---- Silent install given the gateway: the program with what it loads, in Program Files; the address beside
    //      it for every account; the entry in Add/Remove Programs and every user's Start menu. ----
    const Result install = wine({m_setup, QStringLiteral("/S"), QStringLiteral("/GATEWAY=") + gatewayUrl()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    for (const char* file :
         {"cashier.exe", "install/updata.exe", "platforms/qwindows.dll", "Qt5Core.dll", "Qt5SerialPort.dll",
          "libssl-3-x64.dll", "libcrypto-3-x64.dll", "translations/qtbase_zh_CN.qm", "qt.conf", "uninstall.exe"}) {
        QVERIFY2(QFile::exists(m_program + QLatin1Char('/') + QLatin1String(file)), file);
    }
    QCOMPARE(QSettings(m_program + QStringLiteral("/site.ini"), QSettings::IniFormat)
                 .value(QStringLiteral("data_config/gatewayUrl"))
                 .toString(),
             gatewayUrl());
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), QStringLiteral(CASHIER_VERSION));
    QVERIFY2(QFile::exists(m_startMenuEntry), qPrintable(m_startMenuEntry));
    // The cashier's folder is the client's to make, in the account that starts it.
    QVERIFY(!QFile::exists(m_cashierFolder));
    stopWine();

    // ---- The first start: no data.ini, the installer's gateway; the files in the account named 收银台. ----
    const QString main = startAndSignIn();
    if (main.isEmpty()) {
        return;
    }
    QVERIFY(!QFile::exists(m_program + QStringLiteral("/data.ini")));
    QVERIFY(QFile::exists(m_cashierFolder + QStringLiteral("/payments.db")));
    QByteArray log;
    // The log is written a second at a time.
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     log = testsupport::fileBytes(m_cashierFolder + QStringLiteral("/logs/cashier.log"));
                     return log.contains("signed in: account demo");
                 },
                 10000),
             log.constData());
    // Qt's Chinese catalogue was found through qt.conf.
    QVERIFY2(!log.contains("qtbase_zh_CN.qm"), log.constData());
    if (qEnvironmentVariableIsSet("CASHIER_WINDOWS_SHOT")) {
        run(QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), qEnvironmentVariable("CASHIER_WINDOWS_SHOT")});
    }
    stopWine();
}

void TestWindowsE2E::saleDisplayedPrintedAndReprinted() {
    QVERIFY2(captureQueueReady(), "no CUPS capture queue (tests/e2e/cups/setup-capture-queue.sh)");
    // ---- The serial lines (COM3 the display, COM9 the POS), the receipt printer and autostart. ----
    SerialLine display;
    SerialLine pos;
    QVERIFY2(display.ready() && pos.ready(), "socat could not make the serial lines");
    for (const auto& [com, line] : {std::pair<QString, SerialLine*>{QStringLiteral("COM3"), &display},
                                    std::pair<QString, SerialLine*>{QStringLiteral("COM9"), &pos}}) {
        // Wine reads its port map when it starts: written now, it holds for the client.
        const Result mapped =
            wine({QStringLiteral("reg"), QStringLiteral("add"), QStringLiteral("HKLM\\Software\\Wine\\Ports"),
                  QStringLiteral("/v"), com, QStringLiteral("/d"), QFileInfo(line->device()).canonicalFilePath(),
                  QStringLiteral("/f")});
        QVERIFY2(mapped.exitCode == 0, qPrintable(mapped.output));
    }
    stopWine();
    {
        QSettings ini(m_cashierFolder + QStringLiteral("/data.ini"), QSettings::IniFormat);
        ini.setIniCodec(QTextCodec::codecForName("GB2312"));
        ini.setValue(QStringLiteral("data_config/check"), QStringLiteral("1"));         // autostart on
        ini.setValue(QStringLiteral("data_config/check_updata"), QStringLiteral("1"));  // no version check
        // Wine shows the machine's CUPS queues as Windows printers, by their names.
        ini.setValue(QStringLiteral("data_config/printerName"), captureQueue());
    }
    ComConfig record;
    record.softPortNo = 9;
    record.showPortNo = 3;
    record.showEnabled = 1;
    QFile appConfig(m_cashierFolder + QStringLiteral("/app.config"));
    QVERIFY(appConfig.open(QIODevice::WriteOnly) && appConfig.write(record.toBytes()) > 0);
    appConfig.close();

    const QString main = startAndSignIn();
    if (main.isEmpty()) {
        return;
    }
    // `wine reg` now and then fails to answer while the client starts: asked again until it does.
    QVERIFY(QTest::qWaitFor([&] { return regValue(kRunKey, QStringLiteral("auto")) == kInstalledProgram; }, 15000));

    // ---- A sale keyed on the amount page: the display shows the total, the gateway is charged, the result shows,
    //      the receipt reaches the printer. ----
    QVERIFY(waitForQueueDrained());
    QSet<QString> before = capturedJobs();
    openPage(main, Page::Amount);
    pointAt(main, 400, 300);
    typeText(QStringLiteral("0.01"), 150);
    xdotool({QStringLiteral("sleep"), QStringLiteral("0.15"), QStringLiteral("key"), QStringLiteral("Return")});
    QCOMPARE(display.read(10000, kDisplayTotal.size()), kDisplayTotal);
    const QString pay = waitForVisible(QStringLiteral("扫码收款"), 10000);
    QVERIFY2(!pay.isEmpty(), "the payment window did not come up");
    scanCode(pay, QStringLiteral("280000000000000001"));
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 20000).isEmpty(), "no result window");
    const QList<QJsonObject> charges = m_sandbox.loggedRequests(QStringLiteral("Pay.Ace.scanpay"));
    QCOMPARE(charges.size(), 1);
    QCOMPARE(testsupport::formValue(charges.first().value(QStringLiteral("body")).toString().toUtf8(),
                                    QStringLiteral("money")),
             QStringLiteral("1"));
    QVERIFY2(QTest::qWaitFor([&] { return !(capturedJobs() - before).isEmpty(); }, 30000),
             "the receipt did not reach the capture queue");
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("收款成功")));

    // ---- The sale reprinted from the transaction page (查询 is the keypad's Enter). ----
    QVERIFY(waitForQueueDrained());
    before = capturedJobs();
    openPage(main, Page::Transactions);
    pointAt(main, 400, 300);
    key(QStringLiteral("KP_Enter"));
    QVERIFY(QTest::qWaitFor([&] { return m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).size() >= 1; },
                            10000));
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     clickAt(main, kFirstReprint.x(), kFirstReprint.y());
                     return QTest::qWaitFor([&] { return !(capturedJobs() - before).isEmpty(); }, 5000);
                 },
                 30000),
             "no reprint reached the capture queue");

    // ---- An installer run while the client runs says so and changes nothing (silent: exit code 2). ----
    QCOMPARE(wine({m_setup, QStringLiteral("/S")}).exitCode, 2);
    stopWine();
}

void TestWindowsE2E::changedSetupRefusedAndTheOldVersionRuns() {
    {
        QSettings ini(m_cashierFolder + QStringLiteral("/data.ini"), QSettings::IniFormat);
        ini.setIniCodec(QTextCodec::codecForName("GB2312"));
        ini.setValue(QStringLiteral("data_config/check_updata"), QStringLiteral("0"));  // the version check on
    }
    // The version after the newer one: its setup was changed by one byte after it was signed.
    const QString changed = qEnvironmentVariable("CASHIER_WINDOWS_UPDATE_CHANGED");
    QVERIFY(!changed.isEmpty());
    m_sandbox.offerVersion(changed);
    const QString told = startAndTakeTheUpdate();
    if (told.isEmpty()) {
        return;
    }
    // Refused: nothing kept, nothing left to install it, the installed version unchanged and still running.
    QVERIFY(!QFile::exists(m_cashierFolder + QStringLiteral("/update/cashier-setup-%1.exe").arg(changed)));
    pointAt(told, 10, 10);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(QStringLiteral("版本更新")));
    QVERIFY(!waitForVisible(QStringLiteral("登录界面")).isEmpty());
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), QStringLiteral(CASHIER_VERSION));
    quitClient();
    QVERIFY2(waitForHidden(QStringLiteral("登录界面"), 30000), "the client did not quit");
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), QStringLiteral(CASHIER_VERSION));
    stopWine();
}

void TestWindowsE2E::updateInstalledAfterQuitKeepsFilesAndAnOlderSetupIsRefused() {
    const QString journal = m_cashierFolder + QStringLiteral("/payments.db");
    const auto paidSales = [&journal] {
        return run(QStringLiteral("sqlite3"), {journal, QStringLiteral("select count(*) from attempts where "
                                                                       "state = 'paid'")});
    };
    QCOMPARE(paidSales(), QStringLiteral("1"));
    const QByteArray settings = testsupport::fileBytes(m_cashierFolder + QStringLiteral("/data.ini"));
    const QString dropped = qEnvironmentVariable("CASHIER_WINDOWS_DROPPED");
    QVERIFY(!dropped.isEmpty() && QFile::exists(m_program + QLatin1Char('/') + dropped));

    // ---- 更新: the newer version fetched and checked, then installed once the client is quit (the old one removed
    //      first, so a file the new one no longer ships goes), the address and every file of the cashier kept,
    //      autostart still starting the client, and the client started again. ----
    const QString newer = QFileInfo(m_newerSetup).completeBaseName().section(QLatin1Char('-'), 2);
    m_sandbox.offerVersion(newer);
    const QString told = startAndTakeTheUpdate();
    if (told.isEmpty()) {
        return;
    }
    const QString fetched = m_cashierFolder + QStringLiteral("/update/cashier-setup-%1.exe").arg(newer);
    QVERIFY2(QFile::exists(fetched), qPrintable(fetched));
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), QStringLiteral(CASHIER_VERSION));
    // The client started again after the install is this build's: it is offered nothing more.
    m_sandbox.offerVersion(QStringLiteral(CASHIER_VERSION));
    pointAt(told, 10, 10);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(QStringLiteral("版本更新")));
    const QString login = waitForVisible(QStringLiteral("登录界面"));
    QVERIFY(!login.isEmpty());
    quitClient();
    QVERIFY2(
        QTest::qWaitFor([&] { return regValue(kUninstallKey, QStringLiteral("DisplayVersion")) == newer; }, 180000),
        "the newer version was not installed");
    QVERIFY2(QTest::qWaitFor([&] { return !QFile::exists(fetched); }, 30000), "the setup was not removed");
    QVERIFY2(!waitForVisible(QStringLiteral("登录界面"), 60000).isEmpty(), "the client was not started again");
    stopWine();
    QVERIFY2(!QFile::exists(m_program + QLatin1Char('/') + dropped), qPrintable(dropped));
    QCOMPARE(QSettings(m_program + QStringLiteral("/site.ini"), QSettings::IniFormat)
                 .value(QStringLiteral("data_config/gatewayUrl"))
                 .toString(),
             gatewayUrl());
    QVERIFY(QFile::exists(m_startMenuEntry));
    // `wine reg` now and then fails to answer while the client starts: asked again until it does.
    QVERIFY(QTest::qWaitFor([&] { return regValue(kRunKey, QStringLiteral("auto")) == kInstalledProgram; }, 15000));
    QCOMPARE(testsupport::fileBytes(m_cashierFolder + QStringLiteral("/data.ini")), settings);
    QCOMPARE(paidSales(), QStringLiteral("1"));

    // ---- The older setup over the newer install: refused (silent: exit code 3), nothing changed. ----
    QCOMPARE(wine({m_setup, QStringLiteral("/S")}).exitCode, 3);
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), newer);
    QCOMPARE(paidSales(), QStringLiteral("1"));
}

void TestWindowsE2E::scaledAt150PercentNotRounded() {
    // Windows' 150 %: 144 dots per inch. The 420x330 login window is drawn 630x495, not twice as large (Qt 5's
    // rounding), so the 800x600 main window is 1200x900 and fits a 1920x1080 screen.
    const QString desktop = QStringLiteral("HKCU\\Control Panel\\Desktop");
    const auto setDpi = [&desktop](int dpi) {
        return wine({QStringLiteral("reg"), QStringLiteral("add"), desktop, QStringLiteral("/v"),
                     QStringLiteral("LogPixels"), QStringLiteral("/t"), QStringLiteral("REG_DWORD"),
                     QStringLiteral("/d"), QString::number(dpi), QStringLiteral("/f")})
                   .exitCode == 0;
    };
    QVERIFY(setDpi(144));
    stopWine();
    const Result started = wine({QStringLiteral("start"), QStringLiteral("/unix"), m_startMenuEntry});
    QVERIFY2(started.exitCode == 0, qPrintable(started.output));
    const QString login = waitForVisible(QStringLiteral("登录界面"), 30000);
    QVERIFY2(!login.isEmpty(), "the login window did not appear");
    QCOMPARE(geometry(login).size(), QSize(630, 495));
    stopWine();
    QVERIFY(setDpi(96));
    stopWine();
}

void TestWindowsE2E::uninstallLeavesTheCashiersFiles() {
    // ---- Uninstalled: the program, the address file, the menu entry, the Add/Remove entry and the autostart value
    //      go; the cashier's files stay. ----
    stopWine();
    const Result uninstall = wine({m_program + QStringLiteral("/uninstall.exe"), QStringLiteral("/S")});
    QVERIFY2(uninstall.exitCode == 0, qPrintable(uninstall.output));
    // The uninstaller runs from a copy of itself and returns at once: wait for its work.
    QVERIFY2(QTest::qWaitFor([&] { return !QFile::exists(m_program + QStringLiteral("/cashier.exe")); }, 60000),
             "the program is still installed");
    QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(m_startMenuEntry); }, 30000));
    QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(m_program); }, 30000));
    QVERIFY(
        QTest::qWaitFor([&] { return regValue(kUninstallKey, QStringLiteral("DisplayVersion")).isEmpty(); }, 30000));
    QVERIFY(QTest::qWaitFor([&] { return regValue(kRunKey, QStringLiteral("auto")).isEmpty(); }, 30000));
    QVERIFY(QFile::exists(m_cashierFolder + QStringLiteral("/data.ini")));
    QVERIFY(QFile::exists(m_cashierFolder + QStringLiteral("/payments.db")));
}

void TestWindowsE2E::cleanupTestCase() {
    if (!m_setup.isEmpty() && !qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        stopWine();
    }
}

QTEST_GUILESS_MAIN(TestWindowsE2E)
#include "tst_windows_e2e.moc"

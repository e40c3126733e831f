// The Windows client as a merchant gets it, under Wine on the test display: the installer built by
// scripts/windows/build.sh installs it silently, the Start-menu entry starts it in the cashier's folder, it signs in
// to the (Linux) sandbox over http, charges a sale, writes the amount to the customer display on COM3 (a pty here),
// keeps its autostart value in the registry, and the uninstaller takes it away again. (Alt+Z through RegisterHotKey is
// tst_platform_win's.)
// scripts/windows/test.sh runs it with CASHIER_WINDOWS_SETUP (the installer) and WINEPREFIX (a new prefix); without
// them it is skipped.
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
const QString kUninstallKey = QStringLiteral("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cashier");
const QString kInstalledProgram = QStringLiteral("C:\\Program Files\\Cashier\\cashier.exe");
// ESC s 2 (the "total" lamp), ESC Q A 0.01 CR: what a keyed amount shows on the pole display.
const QByteArray kDisplayTotal = QByteArray::fromHex("1b73321b5141302e30310d");

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
    void installedClientSellsAndComesBack();
    void cleanupTestCase();

private:
    QString m_setup;
    QString m_driveC;
    QString m_cashierFolder;  // %LOCALAPPDATA%\Cashier
    QString m_startMenuEntry;
};

void TestWindowsE2E::initTestCase() {
    m_setup = qEnvironmentVariable("CASHIER_WINDOWS_SETUP");
    if (m_setup.isEmpty() || qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        QSKIP("needs CASHIER_WINDOWS_SETUP (the installer) and WINEPREFIX: scripts/windows/test.sh runs it");
    }
    if (!haveDisplayAndTools({QStringLiteral("wine"), QStringLiteral("wineserver"), QStringLiteral("xdotool"),
                              QStringLiteral("socat")})) {
        return;
    }
    QVERIFY2(QFile::exists(m_setup), qPrintable(m_setup));
    m_driveC = qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/drive_c");
    const QString user = QStringLiteral("%1/users/%2").arg(m_driveC, qEnvironmentVariable("USER", "root"));
    m_cashierFolder = user + QStringLiteral("/AppData/Local/Cashier");
    m_startMenuEntry =
        user + QStringLiteral("/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/%1/%1.lnk").arg(kMain);
}

void TestWindowsE2E::installedClientSellsAndComesBack() {
    // ---- Silent install: the program with what it loads, in Program Files; the entry in Add/Remove Programs. ----
    const Result install = wine({m_setup, QStringLiteral("/S")});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    const QString program = m_driveC + QStringLiteral("/Program Files/Cashier");
    for (const char* file :
         {"cashier.exe", "install/updata.exe", "platforms/qwindows.dll", "Qt5Core.dll", "Qt5SerialPort.dll",
          "libssl-3-x64.dll", "libcrypto-3-x64.dll", "translations/qtbase_zh_CN.qm", "qt.conf", "uninstall.exe"}) {
        QVERIFY2(QFile::exists(program + QLatin1Char('/') + QLatin1String(file)), file);
    }
    QCOMPARE(regValue(kUninstallKey, QStringLiteral("DisplayVersion")), QStringLiteral(CASHIER_VERSION));
    QVERIFY2(QFile::exists(m_startMenuEntry), qPrintable(m_startMenuEntry));

    // ---- The gateway, the serial lines (COM3 the display, COM9 the POS) and the cashier's settings. ----
    Sandbox sandbox;
    sandbox.start();
    QVERIFY(sandbox.port() > 0);
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
    QVERIFY(QDir().mkpath(m_cashierFolder));
    {
        QSettings ini(m_cashierFolder + QStringLiteral("/data.ini"), QSettings::IniFormat);
        ini.setIniCodec(QTextCodec::codecForName("GB2312"));
        ini.setValue(QStringLiteral("data_config/gatewayUrl"),
                     QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(sandbox.port()));
        ini.setValue(QStringLiteral("data_config/check"), QStringLiteral("1"));         // autostart on
        ini.setValue(QStringLiteral("data_config/check_updata"), QStringLiteral("1"));  // no version check
        ini.setValue(QStringLiteral("data_config/printerName"), QStringLiteral("不打印小票"));
    }
    ComConfig record;
    record.softPortNo = 9;
    record.showPortNo = 3;
    record.showEnabled = 1;
    QFile appConfig(m_cashierFolder + QStringLiteral("/app.config"));
    QVERIFY(appConfig.open(QIODevice::WriteOnly) && appConfig.write(record.toBytes()) > 0);
    appConfig.close();

    // ---- Started from the Start-menu entry, which starts it in %LOCALAPPDATA%\Cashier; signed in. ----
    const Result started = wine({QStringLiteral("start"), QStringLiteral("/unix"), m_startMenuEntry});
    QVERIFY2(started.exitCode == 0, qPrintable(started.output));
    signInOnScreen(sandbox);
    const QString main = waitForVisible(kMain, QSize(800, 600), 30000);
    QVERIFY2(!main.isEmpty(), "the main window did not come up");
    if (qEnvironmentVariableIsSet("CASHIER_WINDOWS_SHOT")) {
        run(QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), qEnvironmentVariable("CASHIER_WINDOWS_SHOT")});
    }
    // Its files are the cashier's, not Program Files'; Qt's Chinese catalogue was found through qt.conf.
    QVERIFY(!QFile::exists(program + QStringLiteral("/data.ini")));
    QByteArray log;
    // The log is written a second at a time.
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     log = testsupport::fileBytes(m_cashierFolder + QStringLiteral("/logs/cashier.log"));
                     return log.contains("signed in: account demo");
                 },
                 10000),
             log.constData());
    QVERIFY2(!log.contains("qtbase_zh_CN.qm"), log.constData());

    // ---- The autostart value, read back as Windows keeps it. ----
    QCOMPARE(regValue(kRunKey, QStringLiteral("auto")), kInstalledProgram);

    // ---- A sale keyed on the amount page: the display shows the total, the gateway is charged, the result shows. ----
    openPage(main, Page::Amount);
    pointAt(main, 400, 300);
    typeText(QStringLiteral("0.01"), 150);
    xdotool({QStringLiteral("sleep"), QStringLiteral("0.15"), QStringLiteral("key"), QStringLiteral("Return")});
    QCOMPARE(display.read(10000, kDisplayTotal.size()), kDisplayTotal);
    const QString pay = waitForVisible(QStringLiteral("扫码收款"), 10000);
    QVERIFY2(!pay.isEmpty(), "the payment window did not come up");
    scanCode(pay, QStringLiteral("280000000000000001"));
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 20000).isEmpty(), "no result window");
    const QList<QJsonObject> charges = sandbox.loggedRequests(QStringLiteral("Pay.Ace.scanpay"));
    QCOMPARE(charges.size(), 1);
    QCOMPARE(testsupport::formValue(charges.first().value(QStringLiteral("body")).toString().toUtf8(),
                                    QStringLiteral("money")),
             QStringLiteral("1"));
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("收款成功")));

    // ---- An installer run while the client runs says so and changes nothing (silent: exit code 2). ----
    const Result whileRunning = wine({m_setup, QStringLiteral("/S")});
    QCOMPARE(whileRunning.exitCode, 2);

    // ---- Uninstalled: the program, its menu entry, its Add/Remove entry and its autostart value go; the
    //      cashier's files stay. ----
    stopWine();
    const Result uninstall = wine({program + QStringLiteral("/uninstall.exe"), QStringLiteral("/S")});
    QVERIFY2(uninstall.exitCode == 0, qPrintable(uninstall.output));
    // The uninstaller runs from a copy of itself and returns at once: wait for its work.
    QVERIFY2(QTest::qWaitFor([&] { return !QFile::exists(program + QStringLiteral("/cashier.exe")); }, 60000),
             "the program is still installed");
    QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(m_startMenuEntry); }, 30000));
    QVERIFY(
        QTest::qWaitFor([&] { return regValue(kUninstallKey, QStringLiteral("DisplayVersion")).isEmpty(); }, 30000));
    QVERIFY(QTest::qWaitFor([&] { return regValue(kRunKey, QStringLiteral("auto")).isEmpty(); }, 30000));
    QVERIFY(QFile::exists(m_cashierFolder + QStringLiteral("/data.ini")));
}

void TestWindowsE2E::cleanupTestCase() {
    if (!m_setup.isEmpty() && !qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        stopWine();
    }
}

QTEST_GUILESS_MAIN(TestWindowsE2E)
#include "tst_windows_e2e.moc"

// What only Windows does, on Windows (under Wine in ./test.sh): the autostart value in the registry, the folder the
// client works in when started where the cashier's files must not go, and the Alt+Z hot key through
// RegisterHotKey. Runs on the real platform (not offscreen), so the registry and the hot key are real.
#include "app/dataconfig.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <windows.h>

namespace {

// The Run key's "auto" value read with the Win32 call, as Windows' logon reads it: a string value, not Qt's idea
// of one.
QString runValue(bool* present) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                        L"auto", RRF_RT_REG_SZ, nullptr, value, &size);
    *present = status == ERROR_SUCCESS;
    return *present ? QString::fromWCharArray(value) : QString();
}

QString windowsFolder() {
    wchar_t dir[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(dir, MAX_PATH);
    return QDir::fromNativeSeparators(QString::fromWCharArray(dir, int(length)));
}

void pressAltZ() {
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_MENU, 'Z', 'Z', VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}

}  // namespace

class TestPlatformWin : public QObject {
    Q_OBJECT
private slots:
    void autostartValueFollowsCheck_data();
    void autostartValueFollowsCheck();
    void workingFolder_data();
    void workingFolder();
    void altZ();
};

void TestPlatformWin::autostartValueFollowsCheck_data() {
    QTest::addColumn<QString>("check");
    QTest::addColumn<bool>("on");
    // Which values mean on is the Linux test's table; here, what the registry holds for each.
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
}

void TestPlatformWin::autostartValueFollowsCheck() {
    QFETCH(QString, check);
    QFETCH(bool, on);
    testsupport::TempWorkDir dir;
    // A value left by a copy in another folder is rewritten on every start.
    platform::writeAutostart(QStringLiteral("C:\\old place\\cashier.exe"));
    dir.till().settings().setCheck(check);
    syncAutostart(dir.till().settings());
    bool present = false;
    const QString value = runValue(&present);
    // Off is an empty value, never a deleted one.
    QVERIFY(present);
    QCOMPARE(value, on ? QDir::toNativeSeparators(QCoreApplication::applicationFilePath()) : QString());
    QCOMPARE(platform::autostartPath(), value);
}

void TestPlatformWin::workingFolder_data() {
    QTest::addColumn<QString>("startIn");  // "program", "system32" or "other"
    QTest::addColumn<bool>("moves");
    QTest::newRow("the program's folder (Program Files)") << "program" << true;
    QTest::newRow("System32 (the Run key's programs)") << "system32" << true;
    QTest::newRow("a folder of the cashier's") << "other" << false;
}

void TestPlatformWin::workingFolder() {
    QFETCH(QString, startIn);
    QFETCH(bool, moves);
    QTemporaryDir localAppData;
    QTemporaryDir other;
    const QByteArray saved = qgetenv("LOCALAPPDATA");
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(localAppData.path()).toLocal8Bit());
    const QString before = QDir::currentPath();
    const QString start = startIn == QLatin1String("program")    ? QCoreApplication::applicationDirPath()
                          : startIn == QLatin1String("system32") ? windowsFolder() + QStringLiteral("/system32")
                                                                 : other.path();
    QVERIFY(QDir::setCurrent(start));

    const QString settled = platform::settleWorkingDirectory();
    const QString expected = moves ? localAppData.path() + QStringLiteral("/Cashier") : start;
    const bool ok = QDir(settled) == QDir(expected) && QDir(QDir::currentPath()) == QDir(expected);
    const QString now = QDir::currentPath();
    QDir::setCurrent(before);
    qputenv("LOCALAPPDATA", saved);
    QVERIFY2(ok, qPrintable(now + QStringLiteral(" instead of ") + expected));
    if (moves) {
        QVERIFY(QFileInfo(expected).isDir());
    }
}

void TestPlatformWin::altZ() {
    platform::GlobalHotKey first;
    QVERIFY(first.registerAltZ());
    // A second copy of the client finds the key taken (and warns the cashier).
    platform::GlobalHotKey second;
    QVERIFY(!second.registerAltZ());

    QSignalSpy pressed(&first, &platform::GlobalHotKey::activated);
    pressAltZ();
    QVERIFY(pressed.wait(10000));

    // Pressed while a dialog of Windows' own runs its modal loop (the export's file dialog, the print dialog): the
    // press still arrives, and here closes the box.
    QTimer::singleShot(100, [] { pressAltZ(); });
    const auto closeBox = [] {
        if (HWND box = FindWindowW(nullptr, L"altZ under a native dialog")) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    };
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, closeBox);
    giveUp.start(10000);
    const int before = pressed.count();
    connect(&first, &platform::GlobalHotKey::activated, closeBox);
    MessageBoxW(nullptr, L"Alt+Z", L"altZ under a native dialog", MB_OK);
    QCOMPARE(pressed.count(), before + 1);

    // Once the first copy is gone, the next one takes the key.
    first.unregister();
    QVERIFY(second.registerAltZ());
}

int main(int argc, char** argv) {
    // The real platform: under offscreen the registry and the hot key are left alone on purpose.
    qunsetenv("QT_QPA_PLATFORM");
    QGuiApplication app(argc, argv);
    TestPlatformWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform_win.moc"

// Autostart synchronisation and serial device names on Linux. Runs without the offscreen platform so the
// autostart file is really written (into a temporary XDG config directory).
#include "app/dataconfig.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QtTest>

using testsupport::till;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void autostartFollowsCheck_data();
    void autostartFollowsCheck();
    void autostartPathWithBlanks();
    void serialNames_data();
    void serialNames();
    void qtOwnTextsInChinese_data();
    void qtOwnTextsInChinese();
};

void TestPlatform::autostartFollowsCheck_data() {
    QTest::addColumn<QString>("check");  // empty: key absent
    QTest::addColumn<bool>("on");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("2") << "2" << true;
    QTest::newRow("-1") << "-1" << false;
}

void TestPlatform::autostartFollowsCheck() {
    QFETCH(QString, check);
    QFETCH(bool, on);
    testsupport::TempWorkDir dir;
    // A stale entry from another folder must be rewritten on every start.
    platform::writeAutostart("/old/place/cashier");
    if (!check.isNull()) {
        till().settings().setCheck(check);
    }
    syncAutostart(till().settings());
    QCOMPARE(platform::autostartPath(),
             on ? QDir::toNativeSeparators(QCoreApplication::applicationFilePath()) : QString());
}

void TestPlatform::autostartPathWithBlanks() {
    platform::writeAutostart("/opt/my cashier/cashier");
    QCOMPARE(platform::autostartPath(), QString("/opt/my cashier/cashier"));
}

void TestPlatform::serialNames_data() {
    QTest::addColumn<QString>("com");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << "COM1"
                          << "/dev/ttyS0";
    QTest::newRow("COM9") << "COM9"
                          << "/dev/ttyS8";
    QTest::newRow("lower case") << "com2"
                                << "/dev/ttyS1";
    QTest::newRow("not a COM name") << "/dev/ttyUSB0"
                                    << "/dev/ttyUSB0";
}

void TestPlatform::serialNames() {
    QFETCH(QString, com);
    QFETCH(QString, device);
    QCOMPARE(platform::defaultSerialDevice(com), device);
}

void TestPlatform::qtOwnTextsInChinese_data() {
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("english");
    QTest::newRow("standard button") << "QPlatformTheme"
                                     << "Cancel";
    QTest::newRow("file dialog") << "QFileDialog"
                                 << "File &name:";
    QTest::newRow("text field's menu") << "QLineEdit"
                                       << "&Copy";
}

void TestPlatform::qtOwnTextsInChinese() {
    QFETCH(QString, context);
    QFETCH(QString, english);
    static const bool loaded = loadQtChinese();
    QVERIFY(loaded);
    const QString shown = QCoreApplication::translate(context.toLatin1().constData(), english.toLatin1().constData());
    QVERIFY2(shown != english, qPrintable(shown));
}

int main(int argc, char** argv) {
    QTemporaryDir xdg;
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("XDG_CONFIG_HOME", xdg.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"

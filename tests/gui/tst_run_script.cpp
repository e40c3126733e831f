// ./run.sh as a new user starts it: in a copy of the repository without var/, against this tree's programs
// (CASHIER_BUILD_DIR) and a sandbox of the test's own. run.sh maps the POS and display stand-ins in data.ini and
// starts the client; a main window on the files run.sh left then opens its ports without a message box (the
// started client itself waits at its login window, which nobody can fill in offscreen), an amount sent with
// `./run.sh pos` reaches the amount page, and when the client ends the stand-in stops and takes its lines out.
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "collect/formsaomashoukuan.h"
#include "e2edriver.h"
#include "shell/mainwindow.h"
#include "core/posbridge.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using namespace testsupport;

namespace {

bool writeFile(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The lines of an INI file outside `group`, blank lines and data_config's gatewayUrl left out (run.sh points the
// client at its gateway).
QByteArray linesOutside(const QByteArray& ini, const QByteArray& group) {
    QByteArray out;
    QByteArray current;
    for (const QByteArray& line : ini.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith('[') && text.endsWith(']')) {
            current = text.mid(1, text.size() - 2);
        }
        if (current != group && !text.isEmpty() && !text.startsWith("gatewayUrl=")) {
            out += line + '\n';
        }
    }
    return out;
}

QVariantMap serialDevices(const QString& ini) {
    QSettings s(ini, QSettings::IniFormat);
    s.setIniCodec(QTextCodec::codecForName("GB2312"));
    s.beginGroup(QStringLiteral("serial_devices"));
    QVariantMap out;
    for (const QString& key : s.childKeys()) {
        out.insert(key, s.value(key));
    }
    return out;
}

// The bytes the stand-in's log says the display received, joined.
QByteArray displayed(const QString& log) {
    QByteArray bytes;
    for (const QByteArray& line : fileBytes(log).split('\n')) {
        const int at = line.indexOf("display <- ");
        if (at >= 0) {
            const QByteArray hex = line.mid(at + 11);
            bytes += QByteArray::fromHex(hex.left(hex.indexOf("   (")));
        }
    }
    return bytes;
}

// The children of `parent` whose program is `program`.
QList<pid_t> childrenRunning(qint64 parent, const QString& program) {
    QList<pid_t> out;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (const QByteArray& child : fileBytes(QStringLiteral("/proc/%1/task/%1/children").arg(parent)).split(' ')) {
        const pid_t pid = child.toInt();
        if (pid > 0 && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == wanted) {
            out.append(pid);
        }
    }
    return out;
}

// ./run.sh running; stopped like a terminal would stop it (run.sh then stops its children) when the test ends early.
struct RunScript {
    QProcess process;
    ~RunScript() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            if (!process.waitForFinished(15000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }
};

}  // namespace

class TestRunScript : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void standInsComeWithTheClient_data();
    void standInsComeWithTheClient();

private:
    e2e::Sandbox m_sandbox;
};

void TestRunScript::initTestCase() {
    for (const char* tool : {"bash", "python3"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }
    m_sandbox.start();
}

void TestRunScript::standInsComeWithTheClient_data() {
    QTest::addColumn<QByteArray>("earlierIni");
    QTest::addColumn<QByteArray>("earlierRecord");
    QTest::addColumn<QString>("posPort");
    QTest::addColumn<QString>("displayPort");
    QTest::addColumn<bool>("display");
    QTest::addColumn<QVariantMap>("keptDevices");

    QTest::newRow("fresh clone: a record with 有客显 on COM2") << QByteArray() << QByteArray() << "COM9"
                                                               << "COM2" << true << QVariantMap();

    // What a client that ran before left: the account, a digest, a GB2312 store name, a device of the merchant's.
    const QByteArray ini =
        "[data_config]\n"
        "pwd=\"$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA\"\n"
        "remPwdstatus=true\n"
        "shopName=\xe1\xb0\xd6\xdb\xd1\xdd\xca\xbe\xc9\xcc\xbb\xa7  \xce\xf7\xba\xfe\xb5\xea\n"
        "user=demo\n"
        "\n"
        "[serial_devices]\n"
        "COM9=/dev/ttyUSB0\n"
        "COM4=/dev/ttyUSB1\n";
    ComConfig saved;
    saved.softPortNo = 3;
    saved.showPortNo = 5;
    saved.showEnabled = 0;
    saved.centsMode = 2;
    QTest::newRow("earlier settings: the record's ports, the rest kept")
        << ini << saved.toBytes() << "COM3"
        << "COM5" << false
        << QVariantMap{{QStringLiteral("COM9"), QStringLiteral("/dev/ttyUSB0")},
                       {QStringLiteral("COM4"), QStringLiteral("/dev/ttyUSB1")}};
}

void TestRunScript::standInsComeWithTheClient() {
    QFETCH(QByteArray, earlierIni);
    QFETCH(QByteArray, earlierRecord);
    QFETCH(QString, posPort);
    QFETCH(QString, displayPort);
    QFETCH(bool, display);
    QFETCH(QVariantMap, keptDevices);

    // The repository as a clone has it, without var/: run.sh and the scripts it calls.
    QTemporaryDir clone;
    QVERIFY(clone.isValid());
    const QDir source(QStringLiteral(SOURCE_DIR));
    QVERIFY(QFile::copy(source.filePath(QStringLiteral("run.sh")), clone.filePath(QStringLiteral("run.sh"))));
    QVERIFY(QDir(clone.path()).mkdir(QStringLiteral("scripts")));
    for (const QString& name : QDir(source.filePath(QStringLiteral("scripts"))).entryList({"*.sh", "*.py"})) {
        QVERIFY(QFile::copy(source.filePath(QStringLiteral("scripts/") + name),
                            clone.filePath(QStringLiteral("scripts/") + name)));
    }
    const QString clientDir = clone.filePath(QStringLiteral("var/client"));
    const QString ini = clientDir + QStringLiteral("/data.ini");
    const QString record = clientDir + QStringLiteral("/app.config");
    if (!earlierIni.isEmpty()) {
        QVERIFY(writeFile(ini, earlierIni));
        QVERIFY(writeFile(record, earlierRecord));
    }
    m_sandbox.clearLog();

    RunScript run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CASHIER_BUILD_DIR"),
               QFileInfo(QStringLiteral(CASHIER_BIN)).dir().filePath(QStringLiteral("..")));
    env.insert(QStringLiteral("CASHIER_SANDBOX_PORT"), QString::number(m_sandbox.port()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    run.process.setProcessEnvironment(env);
    run.process.setWorkingDirectory(clone.path());
    run.process.setProcessChannelMode(QProcess::MergedChannels);
    run.process.start(clone.filePath(QStringLiteral("run.sh")), QStringList());
    const auto output = [&run] { return QString::fromUtf8(run.process.readAll()); };
    QString said;

    // The client is up (it asked the gateway run.sh gave it for a new version) with the stand-in beside it.
    const QString pidFile = clone.filePath(QStringLiteral("var/pos/standin.pid"));
    QTRY_VERIFY2_WITH_TIMEOUT(
        !m_sandbox.loggedRequests(QStringLiteral("Share.App.update")).isEmpty() && QFileInfo(pidFile).size() > 0,
        qPrintable(said += output()), 90000);
    const qint64 standIn = fileBytes(pidFile).trimmed().toLongLong();
    QVERIFY(standIn > 0);
    QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1").arg(standIn)));

    if (earlierRecord.isEmpty()) {
        ComConfig withDisplay;
        withDisplay.showEnabled = 1;
        QCOMPARE(fileBytes(record), withDisplay.toBytes());
    } else {
        QCOMPARE(fileBytes(record), earlierRecord);
        QCOMPARE(linesOutside(fileBytes(ini), "serial_devices"), linesOutside(earlierIni, "serial_devices"));
    }
    const QVariantMap devices = serialDevices(ini);
    QVariantMap expected = keptDevices;
    expected.insert(posPort, devices.value(posPort));
    expected.insert(displayPort, devices.value(displayPort));
    QCOMPARE(devices, expected);
    for (const QString& port : {posPort, displayPort}) {
        QVERIFY2(devices.value(port).toString().startsWith(QStringLiteral("/dev/pts/")), qPrintable(port));
    }
    QSettings settings(ini, QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("data_config/gatewayUrl")).toString(),
             QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(m_sandbox.port()));

    {
        // The main window on those files, as the client's opens after the store is chosen.
        Till client(clientDir);
        client.loadRecord();
        MessageBoxWatcher boxes;
        MainWindow w(client);
        w.show();
        QVERIFY(client.pos().softwarePort() && client.pos().softwarePort()->isOpen());
        QCOMPARE(client.pos().displayEnabled(), display);

        QProcess pos;
        pos.start(clone.filePath(QStringLiteral("run.sh")), {QStringLiteral("pos"), QStringLiteral("25.00")});
        QTRY_VERIFY_WITH_TIMEOUT(w.amountPage() && w.amountPage()->fieldText() == QStringLiteral("25.00"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(pos.state() == QProcess::NotRunning, 15000);
        QCOMPARE(pos.exitCode(), 0);
        if (display) {
            QTRY_COMPARE_WITH_TIMEOUT(displayed(clone.filePath(QStringLiteral("var/pos/standin.log"))),
                                      QByteArray("\x1bQA25.00\r"), 10000);
        }
        QCOMPARE(boxes.count(), 0);
    }

    // The client ends: so do run.sh and the stand-in, which leaves data.ini as it found it.
    const QList<pid_t> clients = childrenRunning(run.process.processId(), QStringLiteral(CASHIER_BIN));
    QCOMPARE(clients.size(), 1);
    QCOMPARE(::kill(clients.first(), SIGTERM), 0);
    QTRY_VERIFY2_WITH_TIMEOUT(run.process.state() == QProcess::NotRunning, qPrintable(said += output()), 30000);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(standIn)));
    QVERIFY(!QFileInfo::exists(pidFile));
    QCOMPARE(serialDevices(ini), keptDevices);

    QProcess late;
    late.start(clone.filePath(QStringLiteral("run.sh")), {QStringLiteral("pos"), QStringLiteral("1.00")});
    QVERIFY(late.waitForFinished(15000));
    QCOMPARE(late.exitCode(), 1);
}

QTEST_MAIN(TestRunScript)
#include "tst_run_script.moc"

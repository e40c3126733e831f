// The operations log: the level asked for, what reaches the file through the gateway's redaction, rotation at the
// cap with private files, and a log that cannot be written turning itself off.
#include "app/logcategories.h"
#include "app/oplog.h"
#include "gateway/gatewaylog.h"
#include "gateway/requestbody.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <unistd.h>

using namespace testsupport;

namespace {

constexpr QFileDevice::Permissions kModeBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

QByteArray logText(const QString& folder) {
    QFile f(QDir(folder).filePath(QStringLiteral("cashier.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestOpLog : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { oplog::stop(); }

    void levelFrom_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("env");
        QTest::addColumn<int>("level");
        const int debug = int(oplog::Level::Debug), info = int(oplog::Level::Info);
        const int warning = int(oplog::Level::Warning);
        QTest::newRow("nothing asked") << QStringList{"cashier"} << QString() << info;
        QTest::newRow("option") << QStringList{"cashier", "--log-level", "debug"} << QString() << debug;
        QTest::newRow("option with =") << QStringList{"cashier", "--log-level=WARNING"} << QString() << warning;
        QTest::newRow("environment") << QStringList{"cashier"} << "debug" << debug;
        QTest::newRow("option wins") << QStringList{"cashier", "--log-level", "info"} << "debug" << info;
        QTest::newRow("unknown option, environment")
            << QStringList{"cashier", "--log-level", "loud"} << "debug" << debug;
        QTest::newRow("option without value") << QStringList{"cashier", "--log-level"} << "warning" << warning;
        QTest::newRow("unknown everywhere") << QStringList{"cashier"} << "verbose" << info;
    }
    void levelFrom() {
        QFETCH(QStringList, args);
        QFETCH(QString, env);
        QFETCH(int, level);
        QCOMPARE(int(oplog::levelFrom(args, env)), level);
    }

    // Every secret field of a request and of a reply (at any depth) leaves the log without its value, also at the
    // debug level, where the whole reply is written.
    void secretsNeverReachTheLog_data() {
        QTest::addColumn<QByteArray>("field");
        for (const char* f : {"pword", "pwd", "re_password", "oldpwd", "answer", "auth_code", "token"}) {
            QTest::newRow(f) << QByteArray(f);
        }
    }
    void secretsNeverReachTheLog() {
        QFETCH(QByteArray, field);
        TempWorkDir dir;
        const QString folder = dir.file(QStringLiteral("logs"));
        QVERIFY(oplog::start(folder, oplog::Level::Debug, {}, false));
        const QString secret = QStringLiteral("2800%1000098761234").arg(QString::fromLatin1(field.left(2)));
        RequestBody body("Pay.Ace.scanpay");
        body.add("money", qint64(1250)).add(field.constData(), secret).addLast("shopid", QStringLiteral("7"));
        gatewaylog::request(QStringLiteral("http://127.0.0.1/api"), body.bytes());
        // Long enough to be cut at the info level: the debug line carries the whole body.
        const QByteArray filler(gatewaylog::kInfoBodyBytes, 'x');
        const QByteArray reply = "{\"code\":1,\"content\":{\"" + field + "\":\"" + secret.toUtf8() +
                                 "\",\"rows\":[{\"" + field + "\":\"" + secret.toUtf8() + "\"}],\"pad\":\"" + filler +
                                 "\"},\"" + field + "\":\"" + secret.toUtf8() + "\"}";
        gatewaylog::reply(QStringLiteral("http://127.0.0.1/api"), "Pay.Ace.scanpay", 12, QStringLiteral("HTTP 200"),
                          reply);
        oplog::stop();
        const QByteArray text = logText(folder);
        QVERIFY2(text.contains("post http://127.0.0.1/api Pay.Ace.scanpay"), text.constData());
        QVERIFY(text.contains("reply from http://127.0.0.1/api Pay.Ace.scanpay in 12 ms"));
        QVERIFY(text.contains("whole reply to Pay.Ace.scanpay"));
        QVERIFY(text.contains(field + "=***"));
        QVERIFY(text.contains("\"" + field + "\":\"***\""));
        QVERIFY2(!text.contains(secret.toUtf8()), text.constData());
        // Not even the tail of a payment code.
        QVERIFY(!text.contains("98761234"));
    }

    void rotatesAtTheCapWithPrivateFiles() {
#ifdef Q_OS_WIN
        QSKIP("Windows keeps a user's files private by the access list of the user's own folder, not by mode bits");
#endif
        TempWorkDir dir;
        const QString folder = dir.file(QStringLiteral("logs"));
        QVERIFY(QDir().mkpath(folder));
        // A file an older run left readable by others is narrowed before anything more is written to it.
        QFile old(QDir(folder).filePath(QStringLiteral("cashier.log")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther));
        const oplog::Limits limits{4096, 3};
        QVERIFY(oplog::start(folder, oplog::Level::Info, limits, false));
        const QString line(100, QLatin1Char('r'));
        for (int i = 0; i < 400; ++i) {
            qCInfo(lcApp).noquote() << i << line;
        }
        oplog::stop();
        QCOMPARE(QFile::permissions(folder) & kModeBits,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, QStringList({"cashier.1.log", "cashier.2.log", "cashier.log"}));
        for (const QString& name : files) {
            const QString path = QDir(folder).filePath(name);
            QVERIFY2(QFileInfo(path).size() <= limits.fileBytes, qPrintable(name));
            if (name != QLatin1String("cashier.log")) {
                QVERIFY2(QFileInfo(path).size() > limits.fileBytes / 2, qPrintable(name));  // filled before rotating
            }
            QCOMPARE(QFile::permissions(path) & kModeBits, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        // The newest lines are in cashier.log; the oldest ones went with the files beyond the cap.
        const QByteArray text = logText(folder);
        QVERIFY(text.contains(" 399 rrr"));
        QVERIFY(text.endsWith('\n'));
        QCOMPARE(text.count('\n'), text.split('\n').size() - 1);
    }

    void oneEventOneLine() {
        TempWorkDir dir;
        const QString folder = dir.file(QStringLiteral("logs"));
        QVERIFY(oplog::start(folder, oplog::Level::Info, {}, false));
        qCInfo(lcUi).noquote() << "first\nsecond\r\nthird";
        qCDebug(lcUi) << "below the level";
        qWarning("a warning of Qt's own");
        oplog::stop();
        QByteArray text = logText(folder);
#ifdef Q_OS_WIN
        // Lines end in CR LF there, as Windows' own editors expect.
        QCOMPARE(text.count("\r\n"), text.count('\n'));
        text.replace("\r\n", "\n");
#endif
        const QList<QByteArray> lines = text.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).endsWith("info    ui       first\\nsecond\\nthird"), lines.at(0).constData());
        QVERIFY2(lines.at(1).contains("warning default  a warning of Qt's own"), lines.at(1).constData());
        // A local time stamp to the millisecond leads each line.
        QVERIFY(QDateTime::fromString(QString::fromUtf8(lines.at(0).left(23)), "yyyy-MM-dd hh:mm:ss.zzz").isValid());
    }

    // A folder that cannot be made, and a disk that is full, leave the log off; logging goes on returning at once.
    void unwritableLogTurnsOff_data() {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("folder cannot be made") << false;
        QTest::newRow("disk full") << true;
    }
    void unwritableLogTurnsOff() {
        QFETCH(bool, diskFull);
        TempWorkDir dir;
        const QString folder = dir.file(QStringLiteral("logs"));
        if (diskFull) {
#ifdef Q_OS_WIN
            QSKIP("a full disk is played by Linux's /dev/full");
#endif
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), QDir(folder).filePath(QStringLiteral("cashier.log"))));
        } else {
            QFile blocker(folder);  // a file where the folder should be
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const bool started = oplog::start(folder, oplog::Level::Info, {}, false);
        QCOMPARE(started, diskFull);
        for (int i = 0; i < 50 && oplog::isOn(); ++i) {
            qCWarning(lcApp) << "line" << i << QString(200, QLatin1Char('w'));
        }
        QTRY_VERIFY(!oplog::isOn());
        qCWarning(lcApp) << "after the log went off";
        if (diskFull) {
            QCOMPARE(QFileInfo(QStringLiteral("/dev/full")).permissions() & kModeBits,
                     QFileInfo(QStringLiteral("/dev/null")).permissions() & kModeBits);
        }
    }
};

QTEST_MAIN(TestOpLog)
#include "tst_oplog.moc"

// The real client against the real sandbox gateway on the X display the test script provides:
// sign in with the demo account, choose a store, see the main window, hide it and bring it back with Alt+Z.
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Runs xdotool and returns its standard output (trimmed).
QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Visible (mapped) windows whose name matches `name` exactly.
QStringList visibleWindows(const QString& name) {
    const QString out = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$')});
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

QString waitForVisible(const QString& name, int timeoutMs = 15000) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList ids = visibleWindows(name);
            id = ids.isEmpty() ? QString() : ids.first();
            return !id.isEmpty();
        },
        timeoutMs);
    return id;
}

bool waitForHidden(const QString& name, int timeoutMs = 10000) {
    return QTest::qWaitFor([&] { return visibleWindows(name).isEmpty(); }, timeoutMs);
}

QRect geometry(const QString& window) {
    const QString out = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QRect r;
    const QStringList lines = out.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X="))) {
            r.moveLeft(value.toInt());
        } else if (line.startsWith(QLatin1String("Y="))) {
            r.moveTop(value.toInt());
        } else if (line.startsWith(QLatin1String("WIDTH="))) {
            r.setWidth(value.toInt());
        } else if (line.startsWith(QLatin1String("HEIGHT="))) {
            r.setHeight(value.toInt());
        }
    }
    return r;
}

// Clicks at a point given relative to a window's top-left corner.
void clickAt(const QString& window, int x, int y) {
    const QRect r = geometry(window);
    xdotool({QStringLiteral("mousemove"), QString::number(r.x() + x), QString::number(r.y() + y)});
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(150);
}

void typeText(const QString& text) {
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

void key(const QString& keys) {
    xdotool({QStringLiteral("key"), keys});
}

// A client in its own working directory, pointed at the sandbox.
class Client {
public:
    explicit Client(int port) {
        QSettings ini(m_dir.filePath(QStringLiteral("data.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("data_config/gatewayUrl"),
                     QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(port));
        ini.sync();
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(CASHIER_BIN), QStringList());
    }
    ~Client() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished();
            }
        }
    }
    QString output() {
        m_log += QString::fromUtf8(m_process.readAll());
        return m_log;
    }
    QString dataIni() const { return m_dir.filePath(QStringLiteral("data.ini")); }
    bool running() const { return m_process.state() == QProcess::Running; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_log;
};

// Signs in with the demo account in the login window on screen and confirms the first store.
void signInAndChooseStore() {
    const QString login = waitForVisible(QStringLiteral("登录界面"));
    QVERIFY2(!login.isEmpty(), "the login window did not appear");
    const QRect r = geometry(login);
    QCOMPARE(r.size(), QSize(420, 330));
    clickAt(login, 200, 123);  // account field
    typeText(QStringLiteral("demo"));
    clickAt(login, 200, 171);  // password field
    typeText(QStringLiteral("demo123"));
    key(QStringLiteral("Return"));

    const QString store = waitForVisible(QStringLiteral("Dialog"));
    QVERIFY2(!store.isEmpty(), "the store dialog did not appear");
    QVERIFY(visibleWindows(QStringLiteral("登录界面")).isEmpty());
    // Give the store list a moment to arrive, then "确认收款".
    QTest::qWait(800);
    clickAt(store, 135, 168);
}

}  // namespace

class TestLoginE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X display (the test script starts Xvfb)");
        }
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is missing");
        m_sandbox.setProcessChannelMode(QProcess::SeparateChannels);
        m_sandbox.start(QStringLiteral(SANDBOX_BIN),
                        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                         m_dbDir.filePath(QStringLiteral("gateway.db")), QStringLiteral("--quiet")});
        QVERIFY(m_sandbox.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return m_sandbox.canReadLine(); }, 10000));
        const QString first = QString::fromUtf8(m_sandbox.readLine()).trimmed();
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:(\\d+)")).match(first);
        QVERIFY2(m.hasMatch(), qPrintable(first));
        m_port = m.captured(1).toInt();
        QVERIFY(m_port > 0);
    }

    void cleanupTestCase() {
        if (m_sandbox.state() != QProcess::NotRunning) {
            m_sandbox.terminate();
            if (!m_sandbox.waitForFinished(5000)) {
                m_sandbox.kill();
                m_sandbox.waitForFinished();
            }
        }
    }

    void signInChooseStoreAndComeBackWithAltZ() {
        Client client(m_port);
        signInAndChooseStore();
        if (QTest::currentTestFailed()) {
            qWarning().noquote() << client.output();
            return;
        }

        const QString main = waitForVisible(QStringLiteral("柚屿智付"));
        QVERIFY2(!main.isEmpty(), qPrintable(client.output()));
        QCOMPARE(geometry(main).size(), QSize(800, 600));
        QVERIFY(visibleWindows(QStringLiteral("Dialog")).isEmpty());
        QVERIFY2(client.output().contains(QLatin1String("Register Hot Key success.")), qPrintable(client.output()));
        QVERIFY(!client.output().contains(QLatin1String("Register Hot Key fail.")));

        // The account and a digest of the password were remembered, never the password itself.
        QSettings ini(client.dataIni(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("data_config/user")).toString(), QStringLiteral("demo"));
        const QString pwd = ini.value(QStringLiteral("data_config/pwd")).toString();
        QVERIFY(pwd.startsWith(QLatin1String("$argon2id$")));
        QCOMPARE(ini.value(QStringLiteral("data_config/remPwdstatus")).toString(), QStringLiteral("false"));
        QVERIFY(!ini.value(QStringLiteral("data_config/shopName")).toString().isEmpty());

        // The close button hides to the tray and puts the floating icon up.
        clickAt(main, 779, 21);
        QVERIFY(waitForHidden(QStringLiteral("柚屿智付")));
        QVERIFY(!waitForVisible(QStringLiteral("Form"), 5000).isEmpty());

        key(QStringLiteral("alt+z"));
        QVERIFY2(!waitForVisible(QStringLiteral("柚屿智付")).isEmpty(), "Alt+Z did not bring the main window back");
        QVERIFY(waitForHidden(QStringLiteral("Form")));
        QVERIFY(client.running());
    }

    void secondCopyIsWarnedAboutTheHotKey() {
        Client first(m_port);
        signInAndChooseStore();
        QVERIFY(!waitForVisible(QStringLiteral("柚屿智付")).isEmpty());
        QVERIFY(visibleWindows(QStringLiteral("提示信息")).isEmpty());

        Client second(m_port);
        signInAndChooseStore();
        const QString warning = waitForVisible(QStringLiteral("提示信息"));
        QVERIFY2(!warning.isEmpty(), qPrintable(second.output()));
        QVERIFY(second.output().contains(QLatin1String("Register Hot Key fail.")));
        QVERIFY(!first.output().contains(QLatin1String("Register Hot Key fail.")));
        key(QStringLiteral("Return"));
        QVERIFY(waitForHidden(QStringLiteral("提示信息")));
        // The second copy carries on.
        QVERIFY(second.running());
    }

private:
    QTemporaryDir m_dbDir;
    QProcess m_sandbox;
    int m_port = 0;
};

QTEST_GUILESS_MAIN(TestLoginE2E)
#include "tst_login_e2e.moc"

// The real client against the real sandbox gateway on the X display the test script provides:
// sign in with the demo account, choose a store, see the main window, hide it and bring it back with Alt+Z.
#include "e2edriver.h"

#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

class TestLoginE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (haveDisplayAndTools({QStringLiteral("xdotool")})) {
            m_sandbox.start();
        }
    }

    void signInChooseStoreAndComeBackWithAltZ() {
        Client client(m_sandbox.port());
        signInAndChooseStore(client);
        if (QTest::currentTestFailed()) {
            qWarning().noquote() << client.output();
            return;
        }

        const QString main = waitForVisible(QStringLiteral("柚屿智付"));
        QVERIFY2(!main.isEmpty(), qPrintable(client.output()));
        QCOMPARE(geometry(main).size(), QSize(800, 600));
        QVERIFY(visibleWindows(QStringLiteral("Dialog")).isEmpty());
        QVERIFY2(client.waitForOutput(QStringLiteral("Register Hot Key")), qPrintable(client.output()));
        QVERIFY2(client.output().contains(QLatin1String("Register Hot Key success.")), qPrintable(client.output()));
        QVERIFY(!client.output().contains(QLatin1String("Register Hot Key fail.")));

        // The account and a digest of the password were remembered, never the password itself.
        QCOMPARE(client.setting(QStringLiteral("user")), QStringLiteral("demo"));
        QVERIFY(client.setting(QStringLiteral("pwd")).startsWith(QLatin1String("$argon2id$")));
        QCOMPARE(client.setting(QStringLiteral("remPwdstatus")), QStringLiteral("false"));
        QVERIFY(!client.setting(QStringLiteral("shopName")).isEmpty());

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
        Client first(m_sandbox.port());
        signInAndChooseStore(first);
        QVERIFY(!waitForVisible(QStringLiteral("柚屿智付")).isEmpty());
        // The first copy holds the hot key before the second asks for it.
        QVERIFY2(first.waitForOutput(QStringLiteral("Register Hot Key success.")), qPrintable(first.output()));
        QVERIFY(visibleWindows(QStringLiteral("提示信息")).isEmpty());

        Client second(m_sandbox.port());
        signInAndChooseStore(second);
        const QString warning = waitForVisible(QStringLiteral("提示信息"));
        QVERIFY2(!warning.isEmpty(), qPrintable(second.output()));
        QVERIFY2(second.waitForOutput(QStringLiteral("Register Hot Key fail.")), qPrintable(second.output()));
        QVERIFY(!first.output().contains(QLatin1String("Register Hot Key fail.")));
        key(QStringLiteral("Return"));
        QVERIFY(waitForHidden(QStringLiteral("提示信息")));
        // The second copy carries on.
        QVERIFY(second.running());
    }

private:
    Sandbox m_sandbox;
};

QTEST_GUILESS_MAIN(TestLoginE2E)
#include "tst_login_e2e.moc"

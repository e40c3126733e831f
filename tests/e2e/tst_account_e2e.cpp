// The login password changed from the merchant page and back, with real processes on the X display the test script
// provides: each change reaches the sandbox gateway, and a new copy of the client signs in with the new password.
#include "e2edriver.h"
#include "testsupport.h"

#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

const QSize kHubSize(700, 460);

// On the main window: the merchant page (F3) and its 修改密码 button, which opens the hub on the password page.
QString openPasswordPage(Client& client) {
    const QString main = waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600));
    if (main.isEmpty()) {
        qWarning().noquote() << client.output();
        return QString();
    }
    openPage(main, Page::Merchant);
    clickAt(main, 300, 501);  // 修改密码
    return waitForVisible(QStringLiteral("柚屿智付"), kHubSize);
}

// Types the three fields of the password page in the hub and presses 确定修改.
void changePassword(const QString& hub, const QString& current, const QString& next) {
    clickAt(hub, 425, 194);
    typeText(current);
    clickAt(hub, 425, 244);
    typeText(next);
    clickAt(hub, 425, 294);
    typeText(next);
    clickAt(hub, 390, 368);
}

}  // namespace

class TestAccountE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { haveDisplayAndTools({QStringLiteral("xdotool")}); }

    void passwordChangedAndBack() {
        Sandbox sandbox;
        sandbox.start();
        const QVariantMap settings{{QStringLiteral("printerName"), QStringLiteral("不打印小票")}};
        const struct {
            QString from;
            QString to;
        } changes[] = {{QStringLiteral("demo123"), QStringLiteral("shift2026")},
                       {QStringLiteral("shift2026"), QStringLiteral("demo123")}};
        for (const auto& change : changes) {
            sandbox.clearLog();
            // A new copy signs in with the password in force.
            Client client(sandbox.port(), settings);
            signInAndChooseStore(client, change.from);
            if (QTest::currentTestFailed()) {
                return;
            }
            const QString before = client.setting(QStringLiteral("pwd"));
            const QString hub = openPasswordPage(client);
            QVERIFY2(!hub.isEmpty(), "the settings hub did not open on the password page");
            changePassword(hub, change.from, change.to);

            QVERIFY2(
                QTest::qWaitFor(
                    [&] { return !sandbox.loggedRequests(QStringLiteral("Share.Ace.editPassword")).isEmpty(); }, 10000),
                qPrintable(client.output()));
            const QByteArray body = sandbox.loggedRequests(QStringLiteral("Share.Ace.editPassword"))
                                        .first()
                                        .value(QStringLiteral("body"))
                                        .toString()
                                        .toUtf8();
            QCOMPARE(testsupport::formValue(body, QStringLiteral("uname")), QStringLiteral("demo"));
            QCOMPARE(testsupport::formValue(body, QStringLiteral("pword")), change.to);
            // The gateway's answer, then the page checks against the new password: the stored digest changed.
            const QString box = waitForVisible(QStringLiteral("温馨提示"), 10000);
            QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
            QTRY_VERIFY(client.setting(QStringLiteral("pwd")) != before);
            QVERIFY(client.setting(QStringLiteral("pwd")).startsWith(QStringLiteral("$argon2id$")));
            key(QStringLiteral("Return"));
            QVERIFY(waitForHidden(QStringLiteral("温馨提示")));
        }
        // Back where it started.
        Client client(sandbox.port(), settings);
        signInAndChooseStore(client);
        if (QTest::currentTestFailed()) {
            return;
        }
        QVERIFY2(!waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600)).isEmpty(), qPrintable(client.output()));
    }
};

QTEST_GUILESS_MAIN(TestAccountE2E)
#include "tst_account_e2e.moc"

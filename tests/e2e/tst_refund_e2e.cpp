// Refunds with real processes on the X display the test script provides: the refund password pages of the settings
// hub against the sandbox gateway.
#include "e2edriver.h"
#include "testsupport.h"

#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

const QSize kHubSize(700, 460);
// The hub's page area starts here; page widgets are placed relative to it.
const QPoint kPageOrigin(160, 52);

QString bodyValue(const QJsonObject& logged, const char* key) {
    return testsupport::formValue(logged.value(QStringLiteral("body")).toString().toUtf8(), QString::fromLatin1(key));
}

}  // namespace

class TestRefundE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void firstRefundPasswordIsSetWithAQuestion();
    void refundPasswordIsChangedThenResetByTheQuestion();

private:
    QUrl gateway() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(m_sandbox.port()));
    }
    // Signs in as `user`, opens the settings hub with the main window's set button and chooses page `page`.
    QString openHubPage(Client& client, const QString& user, const QString& password, int page);
    // Clicks into the field at `y` of the page on show and types `text`.
    void typeInto(const QString& hub, int y, const QString& text);
    // Waits for the message box titled "温馨提示" and closes it with Return.
    void closeTipBox(Client& client);

    Sandbox m_sandbox;
};

void TestRefundE2E::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display (the test script starts Xvfb)");
    }
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is missing");
    m_sandbox.start();
}

QString TestRefundE2E::openHubPage(Client& client, const QString& user, const QString& password, int page) {
    signInAndChooseStoreAs(client, user, password);
    if (QTest::currentTestFailed()) {
        return QString();
    }
    const QString main = waitForVisibleOfSize(QStringLiteral("柚屿智付"), QSize(800, 600));
    [&] { QVERIFY2(!main.isEmpty(), qPrintable(client.output())); }();
    if (main.isEmpty()) {
        return QString();
    }
    QTest::qWait(300);
    clickAt(main, 707, 21);  // the set button opens the hub on 其他设置
    const QString hub = waitForVisibleOfSize(QStringLiteral("柚屿智付"), kHubSize, 5000);
    [&] { QVERIFY2(!hub.isEmpty(), qPrintable(client.output())); }();
    if (hub.isEmpty()) {
        return QString();
    }
    clickAt(hub, 80, 78 + 48 * (page - 1));  // the page's button in the column
    QTest::qWait(800);                       // page 5 asks the gateway for the question first
    return hub;
}

void TestRefundE2E::typeInto(const QString& hub, int y, const QString& text) {
    clickAt(hub, kPageOrigin.x() + 300, kPageOrigin.y() + y + 15);
    typeText(text);
}

void TestRefundE2E::closeTipBox(Client& client) {
    const QString box = waitForVisible(QStringLiteral("温馨提示"), 10000);
    QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
    pointAt(box, 40, 20);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(QStringLiteral("温馨提示")));
}

void TestRefundE2E::firstRefundPasswordIsSetWithAQuestion() {
    m_sandbox.clearLog();
    Client client(m_sandbox.port());
    const QString hub = openHubPage(client, QStringLiteral("demo2"), QStringLiteral("demo2pwd"), 5);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_sandbox.loggedRequests(QStringLiteral("Share.Ace.getQuestion")).size(), 1);
    typeInto(hub, 90, QStringLiteral("first school name"));
    typeInto(hub, 140, QStringLiteral("xinhua"));
    typeInto(hub, 190, QStringLiteral("135790"));
    typeInto(hub, 240, QStringLiteral("135790"));
    clickAt(hub, kPageOrigin.x() + 275, kPageOrigin.y() + 332);  // 确定
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }

    const QList<QJsonObject> sets = m_sandbox.loggedRequests(QStringLiteral("Share.Ace.setRefundPassword"));
    QCOMPARE(sets.size(), 1);
    QCOMPARE(bodyValue(sets.first(), "uname"), QStringLiteral("demo2"));
    QCOMPARE(bodyValue(sets.first(), "question"), QStringLiteral("first school name"));
    QCOMPARE(bodyValue(sets.first(), "answer"), QStringLiteral("xinhua"));
    // The gateway took it: the account now has the question, and the new refund password opens a change.
    const QJsonObject login =
        postForm(gateway(), "version=3.0&action=Share.Ace.login&ticket=1&uname=demo2&pword=demo2pwd");
    const QString token = login.value(QStringLiteral("content")).toObject().value(QStringLiteral("token")).toString();
    const QJsonObject question =
        postForm(gateway(), "version=3.0&action=Share.Ace.getQuestion&token=" + token.toUtf8());
    QCOMPARE(question.value(QStringLiteral("content")).toObject().value(QStringLiteral("refundquestion")).toString(),
             QStringLiteral("first school name"));
    const QJsonObject change =
        postForm(gateway(), "version=3.0&action=Share.Ace.editRefundPassword1&token=" + token.toUtf8() +
                                "&uname=demo2&pword=135790&re_password=135790&oldpwd=135790");
    QCOMPARE(change.value(QStringLiteral("content")).toObject().value(QStringLiteral("respType")).toString(),
             QStringLiteral("Success"));
}

void TestRefundE2E::refundPasswordIsChangedThenResetByTheQuestion() {
    m_sandbox.clearLog();
    Client client(m_sandbox.port());
    const QString hub = openHubPage(client, QStringLiteral("demo"), QStringLiteral("demo123"), 4);
    if (QTest::currentTestFailed()) {
        return;
    }
    // 修改退款密码: the current one and the new one twice.
    typeInto(hub, 100, QStringLiteral("888888"));
    typeInto(hub, 150, QStringLiteral("777777"));
    typeInto(hub, 200, QStringLiteral("777777"));
    clickAt(hub, kPageOrigin.x() + 275, kPageOrigin.y() + 292);  // 确定修改
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    const QList<QJsonObject> changes = m_sandbox.loggedRequests(QStringLiteral("Share.Ace.editRefundPassword1"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(bodyValue(changes.first(), "oldpwd"), QStringLiteral("888888"));

    // 忘记退款密码: the stored question fills its field (locked, so the cashier types only the answer).
    clickAt(hub, 80, 78 + 48 * 4);
    QTest::qWait(800);
    typeInto(hub, 140, QStringLiteral("杭州"));
    typeInto(hub, 190, QStringLiteral("666666"));
    typeInto(hub, 240, QStringLiteral("666666"));
    clickAt(hub, kPageOrigin.x() + 275, kPageOrigin.y() + 332);
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_sandbox.loggedRequests(QStringLiteral("Share.Ace.setRefundPassword")).size(), 0);
    const QList<QJsonObject> resets = m_sandbox.loggedRequests(QStringLiteral("Share.Ace.editRefundPassword"));
    QCOMPARE(resets.size(), 1);
    QCOMPARE(bodyValue(resets.first(), "question"), QStringLiteral("我出生在哪个城市？"));
    QCOMPARE(bodyValue(resets.first(), "answer"), QStringLiteral("杭州"));
    QCOMPARE(bodyValue(resets.first(), "pword"), QStringLiteral("666666"));
    // The gateway took it: the new refund password gets past the password check (code 5 is a wrong password).
    const QString token = bodyValue(resets.first(), "token");
    const QJsonObject refund = postForm(gateway(), "version=3.0&action=Account.Pay.refund&token=" + token.toUtf8() +
                                                       "&refundmoney=1&tradeno=NO-SUCH-ORDER&cardno=&pwd=666666&");
    QCOMPARE(refund.value(QStringLiteral("msg")).toString(), QStringLiteral("订单不存在"));
}

QTEST_GUILESS_MAIN(TestRefundE2E)
#include "tst_refund_e2e.moc"

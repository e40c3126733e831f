// Refunds with real processes on the X display the test script provides, against the sandbox gateway: a refund from
// the transaction list (with a wrong password first, and with returned items), its receipt on the CUPS capture
// queue, and the refund password pages of the settings hub.
#include "app/comconfig.h"
#include "e2edriver.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

const QSize kHubSize(700, 460);
// What the client's log of the gateway's answer to the question look-up holds.
const QString kQuestionReply = QStringLiteral("\"refundquestion\"");
// The hub's page area starts here; page widgets are placed relative to it.
const QPoint kPageOrigin(160, 52);

// In the main window: the query page's 查询, and the first row's 退款.
const QPoint kQueryButton(10 + 736, 135 + 21);
const QPoint kFirstRefund(10 + 1 + 638, 135 + 142 + 1 + 26 + 12);
// In the refund dialog: the amount, the item boxes, and the password (which moves down as the item list grows).
const QPoint kRefundAmount(8 + 220, 40 + 118);
QPoint itemBox(int i) {
    return QPoint(8 + 120 + 30, 40 + 138 + 30 * i + 18);
}
QPoint refundPassword(int grow) {
    return QPoint(8 + 220, 40 + 194 + grow);
}

QByteArray refundSwitches(bool items) {
    ComConfig c;
    c.refundEnabled = 1;
    c.refundCardEnabled = items ? 1 : 0;
    c.setItemName(QStringLiteral("手牌"));
    return c.toBytes();
}

// The lines in which the page reported what it shows, in order.
QStringList shownPages(Client& client) {
    QStringList out;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("transaction page shown: ([^\\n]*)")).globalMatch(client.output());
    while (it.hasNext()) {
        out << it.next().captured(1);
    }
    return out;
}

QString bodyValue(const QJsonObject& logged, const char* key) {
    return testsupport::formValue(logged.value(QStringLiteral("body")).toString().toUtf8(), QString::fromLatin1(key));
}

}  // namespace

class TestRefundE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void refundPartOfASaleFromTheList();
    void returnedItemsAreListedAndCannotBeReturnedTwice();
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
    // Fills the page's fields (by their height on the page), presses the button at `buttonY` and answers the box.
    void submitPage(Client& client, const QString& hub, const QList<QPair<int, QString>>& fields, int buttonY);
    // Waits for the message box titled "温馨提示" and closes it with Return.
    void closeTipBox(Client& client);
    // Sells `fen` at the sandbox with `code` for the demo cashier; returns the order's out_trade_no.
    QString sell(const QString& code, int fen);
    // Signs in, opens the query page, queries, and presses the first row's 退款: returns the refund dialog.
    QString openFirstRefund(Client& client);
    // Waits for the refund dialog of `height` pixels (it grows with the item list).
    QString waitForRefundDialog(Client& client, int height);

    // One gateway for the whole run: each sale is the newest, so the first row of the list; the password pages
    // come last, as they change the refund password.
    Sandbox m_sandbox;
};

void TestRefundE2E::initTestCase() {
    if (haveDisplayAndTools({QStringLiteral("xdotool")})) {
        m_sandbox.start();
    }
}

QString TestRefundE2E::openHubPage(Client& client, const QString& user, const QString& password, int page) {
    signInAndChooseStoreAs(client, user, password);
    if (QTest::currentTestFailed()) {
        return QString();
    }
    const QString main = waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600));
    [&] { QVERIFY2(!main.isEmpty(), qPrintable(client.output())); }();
    if (main.isEmpty()) {
        return QString();
    }
    clickAt(main, 707, 21);  // the set button opens the hub on 其他设置
    const QString hub = waitForVisible(QStringLiteral("柚屿智付"), kHubSize, 5000);
    [&] { QVERIFY2(!hub.isEmpty(), qPrintable(client.output())); }();
    if (hub.isEmpty()) {
        return QString();
    }
    const int questions = client.output().count(kQuestionReply);
    clickAt(hub, 80, 78 + 48 * (page - 1));  // the page's button in the column
    if (page == 5) {
        // The page asks the gateway for the question first and fills its field with the answer.
        const bool answered = client.waitForOutput(kQuestionReply, questions + 1);
        [&] { QVERIFY2(answered, qPrintable(client.output())); }();
    }
    return hub;
}

void TestRefundE2E::typeInto(const QString& hub, int y, const QString& text) {
    clickAt(hub, kPageOrigin.x() + 300, kPageOrigin.y() + y + 15);
    typeText(text);
}

void TestRefundE2E::submitPage(Client& client, const QString& hub, const QList<QPair<int, QString>>& fields,
                               int buttonY) {
    for (const auto& field : fields) {
        typeInto(hub, field.first, field.second);
    }
    clickAt(hub, kPageOrigin.x() + 275, kPageOrigin.y() + buttonY);
    closeTipBox(client);
}

void TestRefundE2E::closeTipBox(Client& client) {
    const QString box = waitForVisible(QStringLiteral("温馨提示"), 10000);
    QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
    pointAt(box, 40, 20);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(QStringLiteral("温馨提示")));
}

QString TestRefundE2E::sell(const QString& code, int fen) {
    const QJsonObject reply = postForm(gateway(), QStringLiteral("version=3.0&action=Pay.Ace.scanpay&auth_code=%1&"
                                                                 "money=%2&uid=1&shopid=1&")
                                                      .arg(code)
                                                      .arg(fen)
                                                      .toUtf8());
    const QString out =
        reply.value(QStringLiteral("content")).toObject().value(QStringLiteral("out_trade_no")).toString();
    [&] { QVERIFY2(!out.isEmpty(), QJsonDocument(reply).toJson().constData()); }();
    return out;
}

QString TestRefundE2E::openFirstRefund(Client& client) {
    const QString main = waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600));
    [&] { QVERIFY2(!main.isEmpty(), qPrintable(client.output())); }();
    if (main.isEmpty()) {
        return QString();
    }
    const int shown = shownPages(client).size();
    if (shown == 0) {
        openPage(main, Page::Transactions);
        clickAt(main, kQueryButton.x(), kQueryButton.y());
        const bool listed = QTest::qWaitFor([&] { return shownPages(client).size() > shown; }, 10000);
        [&] { QVERIFY2(listed, qPrintable(client.output())); }();
        if (!listed) {
            return QString();
        }
    }
    clickAt(main, kFirstRefund.x(), kFirstRefund.y());
    return main;
}

QString TestRefundE2E::waitForRefundDialog(Client& client, int height) {
    const QString dialog = waitForVisible(QStringLiteral("退款"), QSize(429, height), 10000);
    [&] { QVERIFY2(!dialog.isEmpty(), qPrintable(client.output())); }();
    return dialog;
}

void TestRefundE2E::refundPartOfASaleFromTheList() {
    int rc = 0;
    run(QStringLiteral("lpstat"), {QStringLiteral("-p"), captureQueue()}, &rc);
    QVERIFY2(rc == 0, "the capture print queue is missing: run tests/e2e/cups/setup-capture-queue.sh as root");
    const QString outTradeNo = sell(QStringLiteral("280000000000000301"), 1250);
    if (QTest::currentTestFailed()) {
        return;
    }
    m_sandbox.clearLog();
    const QSet<QString> before = capturedJobs();
    ClientFiles files;
    files.appConfig = refundSwitches(false);
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), captureQueue()}}, files);
    signInAndChooseStore(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    openFirstRefund(client);
    QString dialog = waitForRefundDialog(client, 329);
    if (dialog.isEmpty()) {
        return;
    }
    // A wrong refund password: the gateway's message, then 修改退款密码; the dialog takes the next try after it.
    clickAt(dialog, kRefundAmount.x(), kRefundAmount.y());
    key(QStringLiteral("ctrl+a"));
    typeText(QStringLiteral("5.00"));
    clickAt(dialog, refundPassword(0).x(), refundPassword(0).y());
    typeText(QStringLiteral("123456"));
    key(QStringLiteral("Return"));
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString hub = waitForVisible(QStringLiteral("柚屿智付"), kHubSize, 5000);
    QVERIFY2(!hub.isEmpty(), qPrintable(client.output()));
    clickAt(hub, 679, 20);  // 关闭
    QVERIFY(QTest::qWaitFor([&] { return visibleWindows(QStringLiteral("柚屿智付")).size() == 1; }, 5000));
    QVERIFY(!visibleWindows(QStringLiteral("退款")).isEmpty());
    clickAt(dialog, refundPassword(0).x(), refundPassword(0).y());
    key(QStringLiteral("ctrl+a"));
    typeText(QStringLiteral("888888"));
    key(QStringLiteral("Return"));
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(waitForHidden(QStringLiteral("退款")));

    const QList<QJsonObject> refunds = m_sandbox.loggedRequests(QStringLiteral("Account.Pay.refund"));
    QCOMPARE(refunds.size(), 2);
    QCOMPARE(bodyValue(refunds.first(), "pwd"), QStringLiteral("123456"));
    QCOMPARE(bodyValue(refunds.last(), "refundmoney"), QStringLiteral("500"));
    QCOMPARE(bodyValue(refunds.last(), "tradeno"), outTradeNo);
    // The page asked again and shows the refund: 退款 5 in its totals, the gateway's 部分退款 for the row.
    QVERIFY2(QTest::qWaitFor([&] { return shownPages(client).size() >= 2; }, 10000), qPrintable(client.output()));
    QVERIFY2(shownPages(client).last().contains(QStringLiteral("total_rfee=5 ")), qPrintable(client.output()));
    QVERIFY(client.output().contains(QStringLiteral("\"finalinfo\":\"部分退款\"")));

    // The refund receipt: the order and the amount refunded.
    QString text;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     for (const QString& job : capturedJobs() - before) {
                         const QString t = jobText(job);
                         if (t.contains(outTradeNo)) {
                             text = t;
                             return true;
                         }
                     }
                     return false;
                 },
                 20000),
             "no refund receipt of the order reached the capture queue");
    for (const QString& expected : {QStringLiteral("退款金额"), QStringLiteral("5.00"), QStringLiteral("12.50")}) {
        QVERIFY2(printedTextHas(text, expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
    }
}

void TestRefundE2E::returnedItemsAreListedAndCannotBeReturnedTwice() {
    const QString outTradeNo = sell(QStringLiteral("280000000000007703"), 1200);
    if (QTest::currentTestFailed()) {
        return;
    }
    m_sandbox.clearLog();
    ClientFiles files;
    files.appConfig = refundSwitches(true);
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, files);
    signInAndChooseStore(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    const int grow = 60;  // three items
    openFirstRefund(client);
    QString dialog = waitForRefundDialog(client, 329 + grow);
    if (dialog.isEmpty()) {
        return;
    }
    clickAt(dialog, itemBox(0).x(), itemBox(0).y());  // A01
    clickAt(dialog, kRefundAmount.x(), kRefundAmount.y());
    key(QStringLiteral("ctrl+a"));
    typeText(QStringLiteral("4"));
    clickAt(dialog, refundPassword(grow).x(), refundPassword(grow).y());
    typeText(QStringLiteral("888888"));
    key(QStringLiteral("Return"));
    closeTipBox(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(waitForHidden(QStringLiteral("退款")));
    QList<QJsonObject> refunds = m_sandbox.loggedRequests(QStringLiteral("Account.Pay.refund"));
    QCOMPARE(refunds.size(), 1);
    QVERIFY2(bodyValue(refunds.first(), "cardno").startsWith(QStringLiteral("A01(")),
             qPrintable(bodyValue(refunds.first(), "cardno")));
    QCOMPARE(bodyValue(refunds.first(), "tradeno"), outTradeNo);

    // The next time A01 is listed disabled: clicking it checks nothing, so the refund asks about no item chosen.
    QVERIFY2(QTest::qWaitFor([&] { return shownPages(client).size() >= 2; }, 10000), qPrintable(client.output()));
    openFirstRefund(client);
    dialog = waitForRefundDialog(client, 329 + grow);
    if (dialog.isEmpty()) {
        return;
    }
    QVERIFY(client.output().contains(QStringLiteral("\"cardno\":\"A01\"")));
    clickAt(dialog, itemBox(0).x(), itemBox(0).y());
    clickAt(dialog, kRefundAmount.x(), kRefundAmount.y());
    key(QStringLiteral("ctrl+a"));
    typeText(QStringLiteral("1"));
    clickAt(dialog, refundPassword(grow).x(), refundPassword(grow).y());
    typeText(QStringLiteral("888888"));
    key(QStringLiteral("Return"));
    const QString question = waitForVisible(QStringLiteral("操作提示"), 5000);
    QVERIFY2(!question.isEmpty(), qPrintable(client.output()));
    pointAt(question, 40, 20);
    key(QStringLiteral("Escape"));  // No: nothing is sent
    QVERIFY(waitForHidden(QStringLiteral("操作提示")));
    // A refund would be logged as it went out, right after the answer.
    QCOMPARE(client.output().count(QStringLiteral("action=Account.Pay.refund&")), 1);
    QCOMPARE(m_sandbox.loggedRequests(QStringLiteral("Account.Pay.refund")).size(), 1);
}

void TestRefundE2E::firstRefundPasswordIsSetWithAQuestion() {
    m_sandbox.clearLog();
    Client client(m_sandbox.port());
    const QString hub = openHubPage(client, QStringLiteral("demo2"), QStringLiteral("demo2pwd"), 5);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_sandbox.loggedRequests(QStringLiteral("Share.Ace.getQuestion")).size(), 1);
    submitPage(client, hub,
               {{90, QStringLiteral("first school name")},
                {140, QStringLiteral("xinhua")},
                {190, QStringLiteral("135790")},
                {240, QStringLiteral("135790")}},
               332);  // 确定
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
    submitPage(client, hub,
               {{100, QStringLiteral("888888")}, {150, QStringLiteral("777777")}, {200, QStringLiteral("777777")}},
               292);  // 确定修改
    if (QTest::currentTestFailed()) {
        return;
    }
    const QList<QJsonObject> changes = m_sandbox.loggedRequests(QStringLiteral("Share.Ace.editRefundPassword1"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(bodyValue(changes.first(), "oldpwd"), QStringLiteral("888888"));

    // 忘记退款密码: the stored question fills its field (locked, so the cashier types only the answer).
    const int questions = client.output().count(kQuestionReply);
    clickAt(hub, 80, 78 + 48 * 4);
    QVERIFY2(client.waitForOutput(kQuestionReply, questions + 1), qPrintable(client.output()));
    submitPage(client, hub,
               {{140, QStringLiteral("杭州")}, {190, QStringLiteral("666666")}, {240, QStringLiteral("666666")}}, 332);
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

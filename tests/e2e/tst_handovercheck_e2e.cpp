// The shift handover's check of the till's own record with real processes on the X display the test script
// provides: after a sale and a refund of part of it the summary says the till and the gateway agree; after a second
// sale that the gateway then forgets (the sandbox's control endpoint), it names one disagreement, with that order.
#include "app/comconfig.h"
#include "e2edriver.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

const QSize kMainSize(800, 600);
const QString kSummaryTitle = QStringLiteral("柚屿岚舟钱包");

// In the main window: the query page's 查询 and the first row's 退款. In the refund dialog: amount and password.
const QPoint kQueryButton(20 + 716, 146 + 21);
const QPoint kFirstRefund(20 + 1 + 638, 146 + 142 + 1 + 26 + 12);
const QPoint kRefundAmount(8 + 220, 40 + 118);
const QPoint kRefundPassword(8 + 220, 40 + 194);

QByteArray refundOn() {
    ComConfig c;
    c.refundEnabled = 1;
    return c.toBytes();
}

// The handover lines the client reported, in order.
QStringList checkLines(Client& client) {
    QStringList out;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("handover check: ([^\\n]*)")).globalMatch(client.output());
    while (it.hasNext()) {
        out << it.next().captured(1);
    }
    return out;
}

void closeBox(Client& client, const QString& title) {
    const QString box = waitForVisible(title, 10000);
    QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
    pointAt(box, 40, 20);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(title));
}

void closeResult() {
    const QString result = waitForVisible(QStringLiteral("收款成功"));
    QVERIFY(!result.isEmpty());
    pointAt(result, 100, 100);
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("收款成功")));
}

}  // namespace

class TestHandoverCheckE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { haveDisplayAndTools({QStringLiteral("xdotool")}); }

    void agreesThenFlagsARemovedOrder() {
        Sandbox sandbox;
        sandbox.start();
        if (QTest::currentTestFailed()) {
            return;
        }
        ClientFiles files;
        files.appConfig = refundOn();
        Client client(sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, files);
        signInAndChooseStore(client);
        if (QTest::currentTestFailed()) {
            return;
        }
        keyAmountAndScan(client, QStringLiteral("12.50"), QStringLiteral("280000000000000301"));
        closeResult();
        if (QTest::currentTestFailed()) {
            return;
        }

        // 5.00 of it refunded from the list.
        const QString main = waitForVisible(QStringLiteral("柚屿智付"), kMainSize);
        QVERIFY(!main.isEmpty());
        // A click on the window's bottom edge makes it the active window again, so its shortcuts take the keys.
        clickAt(main, 400, 595);
        openPage(main, Page::Transactions);
        clickAt(main, kQueryButton.x(), kQueryButton.y());
        QVERIFY2(
            QTest::qWaitFor([&] { return client.output().contains(QStringLiteral("transaction page shown")); }, 10000),
            qPrintable(client.output()));
        clickAt(main, kFirstRefund.x(), kFirstRefund.y());
        const QString dialog = waitForVisible(QStringLiteral("退款"), QSize(429, 329), 10000);
        QVERIFY2(!dialog.isEmpty(), qPrintable(client.output()));
        clickAt(dialog, kRefundAmount.x(), kRefundAmount.y());
        key(QStringLiteral("ctrl+a"));
        typeText(QStringLiteral("5.00"));
        clickAt(dialog, kRefundPassword.x(), kRefundPassword.y());
        typeText(QStringLiteral("888888"));
        key(QStringLiteral("Return"));
        closeBox(client, QStringLiteral("温馨提示"));
        QVERIFY(waitForHidden(QStringLiteral("退款")));
        QCOMPARE(sandbox.loggedRequests(QStringLiteral("Account.Pay.refund")).size(), 1);

        QString summary = openShiftSummary(main);
        QVERIFY2(!summary.isEmpty(), qPrintable(client.output()));
        // The check says "checking" first, then its result, which counts this till's paid charges.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QStringList lines = checkLines(client);
                         return !lines.isEmpty() && lines.last().startsWith(QStringLiteral("本机 1 笔"));
                     },
                     15000),
                 qPrintable(client.output()));
        QCOMPARE(checkLines(client).last(), QStringLiteral("本机 1 笔 ￥12.50 与网关一致"));
        clickAt(summary, 205, 476);  // 关闭
        QVERIFY(waitForHidden(kSummaryTitle));

        // A second sale, which the gateway then forgets.
        clickAt(main, 400, 595);
        keyAmountAndScan(client, QStringLiteral("7.00"), QStringLiteral("130000000000000302"));
        closeResult();
        if (QTest::currentTestFailed()) {
            return;
        }
        const QUrl api(QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(sandbox.port()));
        const QString token = postForm(api, "version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123")
                                  .value(QStringLiteral("content"))
                                  .toObject()
                                  .value(QStringLiteral("token"))
                                  .toString();
        const QJsonArray rows =
            postForm(api,
                     QStringLiteral("version=3.0&action=Account.Pay.listPay&token=%1&page_num=20&p=1&ord=desc&shopid=1")
                         .arg(token)
                         .toUtf8())
                .value(QStringLiteral("content"))
                .toObject()
                .value(QStringLiteral("listpay"))
                .toArray();
        QCOMPARE(rows.size(), 2);
        const QString removed = rows.first().toObject().value(QStringLiteral("out_trade_no")).toString();
        QVERIFY(!removed.isEmpty());
        const QJsonObject gone =
            postForm(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/orders/remove").arg(sandbox.port())),
                     QStringLiteral("{\"out_trade_no\":\"%1\"}").arg(removed).toUtf8());
        QVERIFY2(gone.value(QStringLiteral("ok")).toBool(), qPrintable(QJsonDocument(gone).toJson()));

        waitForNextSecond();
        const int before = checkLines(client).size();
        summary = openShiftSummary(main);
        QVERIFY2(!summary.isEmpty(), qPrintable(client.output()));
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QStringList lines = checkLines(client);
                         return lines.size() > before && lines.last().startsWith(QStringLiteral("本机 2 笔"));
                     },
                     15000),
                 qPrintable(client.output()));
        QCOMPARE(checkLines(client).last(), QStringLiteral("本机 2 笔 ￥19.50，1 笔不一致"));
        // The finding names the order and what is wrong with it.
        const QRegularExpressionMatch finding =
            QRegularExpression(QStringLiteral("handover check finding: 收款 (\\S+) 7.00 无 (\\S+)"))
                .match(client.output());
        QVERIFY2(finding.hasMatch(), qPrintable(client.output()));
        QCOMPARE(finding.captured(1), removed);
        clickAt(summary, 205, 476);
        QVERIFY(waitForHidden(kSummaryTitle));
    }
};

QTEST_GUILESS_MAIN(TestHandoverCheckE2E)
#include "tst_handovercheck_e2e.moc"

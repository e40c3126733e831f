// The transaction page with real processes on the X display the test script provides: 45 sales at the sandbox
// gateway, the cashier signs in, presses F2 and 查询, pages on with 下一页 and reprints a sale of page 2 on the
// capturing CUPS queue (tests/e2e/cups/setup-capture-queue.sh).
#include "e2edriver.h"
#include "testsupport.h"

#include <QDate>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

// Places on the main window: the page area starts at (10, 135); the table at (0, 142) inside it.
const QPoint kNextButton(10 + 128, 135 + 436);
// The reprint button of the first row: the last of seven columns with the refund function off.
const QPoint kFirstReprint(10 + 1 + 680, 135 + 142 + 1 + 26 + 12);

// The page's own report of what it shows, as name=value pairs; empty until a page with `page` was shown.
QMap<QString, QString> shownPage(Client& client, int page) {
    const QRegularExpression line(QStringLiteral("transaction page shown: page=%1 (.*)").arg(page));
    QMap<QString, QString> values;
    const QRegularExpressionMatch m = line.match(client.output());
    if (!m.hasMatch()) {
        return values;
    }
    values.insert(QStringLiteral("page"), QString::number(page));
    const QStringList pairs = m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& pair : pairs) {
        values.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    }
    return values;
}

}  // namespace

class TestTransactionsE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void queryPageThroughAndReprint();

private:
    QUrl gateway() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(m_sandbox.port()));
    }
    QUrl control(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/%2").arg(m_sandbox.port()).arg(path));
    }

    Sandbox m_sandbox;
};

void TestTransactionsE2E::initTestCase() {
    if (!haveDisplayAndTools({QStringLiteral("xdotool"), QStringLiteral("pdftotext"), QStringLiteral("lpstat")})) {
        return;
    }
    int rc = 0;
    run(QStringLiteral("lpstat"), {QStringLiteral("-p"), captureQueue()}, &rc);
    QVERIFY2(rc == 0, qPrintable(QStringLiteral("print queue %1 is missing: run "
                                                "tests/e2e/cups/setup-capture-queue.sh as root")
                                     .arg(captureQueue())));
    m_sandbox.start();
}

void TestTransactionsE2E::queryPageThroughAndReprint() {
    // 45 sales of 10.01 to 10.45 yuan; every third by WeChat, the others by Alipay.
    for (int i = 1; i <= 45; ++i) {
        const QString code = QStringLiteral("%1%2").arg(i % 3 == 0 ? "13" : "28").arg(900000 + i, 16, 10, QChar('0'));
        const QJsonObject reply =
            postForm(gateway(), QStringLiteral("version=3.0&action=Pay.Ace.scanpay&auth_code=%1&money=%2&uid=1&"
                                               "shopid=1&")
                                    .arg(code)
                                    .arg(1000 + i)
                                    .toUtf8());
        QCOMPARE(reply.value("content").toObject().value("msg").toString(), QStringLiteral("成功"));
    }
    // What the gateway itself says about today's sales, and the first order of its page 2.
    const QString token = postForm(gateway(), "version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123")
                              .value("content")
                              .toObject()
                              .value("token")
                              .toString();
    QVERIFY(!token.isEmpty());
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-M-d"));
    const QByteArray listPay = "version=3.0&action=Account.Pay.listPay&token=" + token.toUtf8() +
                               "&page_num=20&p=2&ord=desc&tradeno=&start_date=" +
                               QUrl::toPercentEncoding(today + QStringLiteral(" 00:00:00")) +
                               "&end_date=" + QUrl::toPercentEncoding(today + QStringLiteral(" 23:59:59")) +
                               "&shopid=1&cardno=";
    const QJsonObject expected = postForm(gateway(), listPay).value("content").toObject();
    QCOMPARE(expected.value("total_page").toInt(), 3);
    QCOMPARE(expected.value("total_count").toString(), QStringLiteral("45"));
    QCOMPARE(expected.value("total_fee").toString(), QStringLiteral("46035"));
    QCOMPARE(expected.value("wechat_tfee").toString(), QStringLiteral("15360"));
    QCOMPARE(expected.value("alipay_tfee").toString(), QStringLiteral("30675"));
    const QJsonObject secondPageFirst = expected.value("listpay").toArray().first().toObject();
    const QString outTradeNo = secondPageFirst.value("out_trade_no").toString();
    const QString tradeNo = secondPageFirst.value("trade_no").toString();
    QVERIFY(!outTradeNo.isEmpty() && !tradeNo.isEmpty());
    deleteAt(control(QStringLiteral("requests")));

    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), captureQueue()}});
    signInAndChooseStore(client);
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString main = waitForVisible(QStringLiteral("柚屿智付"));
    QVERIFY2(!main.isEmpty(), qPrintable(client.output()));
    openPage(main, Page::Transactions);
    pointAt(main, 400, 300);
    // 查询 has the keypad's Enter as its key.
    key(QStringLiteral("KP_Enter"));

    QMap<QString, QString> shown;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     shown = shownPage(client, 1);
                     return !shown.isEmpty();
                 },
                 10000),
             qPrintable(client.output()));
    // Three pages; the totals are the gateway's, to the fen.
    QCOMPARE(shown.value("total_page"), QStringLiteral("3"));
    QCOMPARE(shown.value("rows"), QStringLiteral("20"));
    QCOMPARE(shown.value("total_num"), QStringLiteral("45"));
    QCOMPARE(shown.value("sk_total"), QStringLiteral("460.35"));
    QCOMPARE(shown.value("total_rfee"), QStringLiteral("0"));
    QCOMPARE(shown.value("wechat_num"), QStringLiteral("15"));
    QCOMPARE(shown.value("wechat_money"), QStringLiteral("153.6"));
    QCOMPARE(shown.value("apliy_num"), QStringLiteral("30"));
    QCOMPARE(shown.value("apliy_money"), QStringLiteral("306.75"));

    clickAt(main, kNextButton.x(), kNextButton.y());
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     shown = shownPage(client, 2);
                     return !shown.isEmpty();
                 },
                 10000),
             qPrintable(client.output()));
    QCOMPARE(shown.value("total_page"), QStringLiteral("3"));
    QCOMPARE(shown.value("rows"), QStringLiteral("20"));
    const QJsonArray queries =
        getJson(control(QStringLiteral("requests?action=Account.Pay.listPay"))).value("requests").toArray();
    QCOMPARE(queries.size(), 2);
    const QByteArray lastBody = queries.last().toObject().value("body").toString().toUtf8();
    QCOMPARE(testsupport::formValue(lastBody, QStringLiteral("p")), QStringLiteral("2"));
    QCOMPARE(testsupport::formValue(lastBody, QStringLiteral("start_date")), today + QStringLiteral(" 00:00:00"));

    // The first row of page 2 is the gateway's 21st sale: its reprint names it.
    const QSet<QString> before = capturedJobs();
    clickAt(main, kFirstReprint.x(), kFirstReprint.y());
    QString text;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QSet<QString> added = capturedJobs() - before;
                     for (const QString& file : added) {
                         const QString t = jobText(file);
                         if (t.contains(outTradeNo)) {
                             text = t;
                             return true;
                         }
                     }
                     return false;
                 },
                 20000),
             "no reprint of the order reached the capture queue");
    QVERIFY2(printedTextHas(text, QStringLiteral("重打印")), qPrintable(text));
    QVERIFY2(text.contains(tradeNo), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("10.25")), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestTransactionsE2E)
#include "tst_transactions_e2e.moc"

// The first complete sale with real processes on the X display the test script provides: the client signs in at the
// sandbox gateway, the cashier keys 12.50 and scans a payment code, the result window appears, and the receipt
// comes out of a real CUPS queue whose backend keeps each job as a file (tests/e2e/cups/setup-capture-queue.sh).
#include "e2edriver.h"
#include "testsupport.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

const QString kQueue = captureQueue();

void postJson(const QUrl& url, const QByteArray& json) {
    QNetworkAccessManager nam;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = nam.post(request, json);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
}

}  // namespace

class TestSaleE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sale_data();
    void sale();
    void refusalBoxIsOnTopAndTakesTheKeyboard();
    void chargeGoesOutOnceWhenTheConnectionDrops();

private:
    // Signs in, confirms the first store, keys 12.50 on the amount page and scans `code`.
    void keySaleAndScan(Client& client, const QString& code);
    QList<QJsonObject> loggedRequests(const char* action);
    QUrl sandboxUrl(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_sandbox.port()).arg(path));
    }

    Sandbox m_sandbox;
};

void TestSaleE2E::initTestCase() {
    if (haveDisplayAndTools({QStringLiteral("xdotool"), QStringLiteral("pdftotext"), QStringLiteral("lpstat")})) {
        m_sandbox.start();
    }
}

QList<QJsonObject> TestSaleE2E::loggedRequests(const char* action) {
    return m_sandbox.loggedRequests(QString::fromLatin1(action));
}

void TestSaleE2E::keySaleAndScan(Client& client, const QString& code) {
    signInAndChooseStore(client);
    if (QTest::currentTestFailed()) {
        return;
    }

    keyAmountAndScan(client, QStringLiteral("12.50"), code);
}

void TestSaleE2E::sale_data() {
    QTest::addColumn<bool>("printing");
    QTest::addColumn<QString>("code");
    QTest::newRow("receipt printed and reported") << true << "280000000000000101";
    QTest::newRow("no receipts: nothing printed or reported") << false << "280000000000000102";
}

void TestSaleE2E::sale() {
    QFETCH(bool, printing);
    QFETCH(QString, code);
    if (printing) {
        int rc = 0;
        run(QStringLiteral("lpstat"), {QStringLiteral("-p"), kQueue}, &rc);
        QVERIFY2(rc == 0, qPrintable(QStringLiteral("print queue %1 is missing: run "
                                                    "tests/e2e/cups/setup-capture-queue.sh as root")
                                         .arg(kQueue)));
    }
    deleteAt(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/requests").arg(m_sandbox.port())));
    const QSet<QString> before = capturedJobs();

    Client client(m_sandbox.port(),
                  {{QStringLiteral("printerName"), printing ? kQueue : QStringLiteral("不打印小票")}});
    keySaleAndScan(client, code);
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString result = waitForVisible(QStringLiteral("收款成功"));
    QVERIFY2(!result.isEmpty(), qPrintable(client.output()));

    // The charge the gateway received: the keyed amount in fen and the scanned code.
    const QList<QJsonObject> charges = loggedRequests("Pay.Ace.scanpay");
    QCOMPARE(charges.size(), 1);
    const QByteArray chargeBody = charges.first().value(QStringLiteral("body")).toString().toUtf8();
    QCOMPARE(testsupport::formValue(chargeBody, QStringLiteral("money")), QStringLiteral("1250"));
    QCOMPARE(testsupport::formValue(chargeBody, QStringLiteral("auth_code")), code);

    // The client's log of a whole sale holds no secret: neither the password, the session token nor the payment code.
    const QList<QJsonObject> shopQueries = loggedRequests("Account.Shop.listShop");
    QVERIFY(!shopQueries.isEmpty());
    const QString token = testsupport::formValue(shopQueries.first().value(QStringLiteral("body")).toString().toUtf8(),
                                                 QStringLiteral("token"));
    QVERIFY(token.size() >= 8);
    const QString log = client.output();
    QVERIFY2(log.contains(QStringLiteral("reply from")), "the client logged no replies: the check would prove nothing");
    for (const QString& secret : {QStringLiteral("demo123"), token, code}) {
        QVERIFY2(!log.contains(secret), qPrintable(QStringLiteral("the log holds a secret:\n") + log));
    }

    if (!printing) {
        // A receipt goes to the print system before the result window reaches the screen, and its report right
        // after: once the queue has run every job it was given, none of them is this sale's.
        const QRegularExpressionMatch order =
            QRegularExpression(QStringLiteral("\"out_trade_no\":\"([^\"]+)\"")).match(client.output());
        QVERIFY2(order.hasMatch(), qPrintable(client.output()));
        QVERIFY(waitForQueueDrained());
        for (const QString& job : capturedJobs() - before) {
            QVERIFY2(!printedTextHas(jobText(job), order.captured(1)), qPrintable(jobText(job)));
        }
        QVERIFY(!client.output().contains(QStringLiteral("action=Account.Print.doprint")));
        QCOMPARE(loggedRequests("Account.Print.doprint").size(), 0);
        return;
    }

    const QString orderNo = m_sandbox.reportedPrint();
    QVERIFY(!orderNo.isEmpty());

    // The capture queue is shared by every test run on the machine: this sale's receipt is the job with its order.
    QStringList ours;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     ours.clear();
                     const QSet<QString> added = capturedJobs() - before;
                     for (const QString& job : added) {
                         if (printedTextHas(jobText(job), orderNo)) {
                             ours.append(job);
                         }
                     }
                     return !ours.isEmpty();
                 },
                 20000),
             "no print job of this sale reached the capture queue");
    QVERIFY(waitForQueueDrained());  // a second copy would have been given to the queue with the first
    for (const QString& job : capturedJobs() - before) {
        if (!ours.contains(job) && printedTextHas(jobText(job), orderNo)) {
            ours.append(job);
        }
    }
    QCOMPARE(ours.size(), 1);
    const QString text = jobText(ours.first());
    const QString shop = client.setting(QStringLiteral("shopName"));
    QVERIFY(!shop.isEmpty());
    // The store is printed as the store dialog remembered it; pdftotext may break the blanks between its parts.
    for (const QString& part : shop.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QVERIFY2(printedTextHas(text, part), qPrintable(part + QStringLiteral(" not in:\n") + text));
    }
    for (const QString& expected : {orderNo, QStringLiteral("支付宝"), QStringLiteral("12.50")}) {
        QVERIFY2(printedTextHas(text, expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
    }
}

void TestSaleE2E::refusalBoxIsOnTopAndTakesTheKeyboard() {
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}});
    keySaleAndScan(client, QStringLiteral("280000000000009999"));  // refused by the sandbox
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString box = waitForVisible(QStringLiteral("温馨提示"), 10000);
    QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
    const QString main = waitForVisible(QStringLiteral("柚屿智付"));
    QVERIFY(!main.isEmpty());
    // The main window stays on top of everything else; the box must still be drawn over it.
    const int boxAt = stackingIndex(box);
    const int mainAt = stackingIndex(main);
    QVERIFY(boxAt >= 0 && mainAt >= 0);
    QVERIFY2(boxAt > mainAt, qPrintable(QStringLiteral("box at %1, main window at %2").arg(boxAt).arg(mainAt)));
    // The keyboard is the box's wherever the pointer rests: Return answers it.
    pointAt(main, 20, 20);
    key(QStringLiteral("Return"));
    QVERIFY2(waitForHidden(QStringLiteral("温馨提示")), "Return did not reach the box");
}

void TestSaleE2E::chargeGoesOutOnceWhenTheConnectionDrops() {
    deleteAt(sandboxUrl(QStringLiteral("/__sandbox/requests")));
    // The gateway records the charge, then drops the connection before any reply byte. Qt's HTTP layer would send
    // the same POST again on its own.
    postJson(sandboxUrl(QStringLiteral("/__sandbox/faults")),
             R"({"action":"Pay.Ace.scanpay","mode":"reset","apply":true,"times":1})");
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}});
    keySaleAndScan(client, QStringLiteral("280000000000000104"));
    deleteAt(sandboxUrl(QStringLiteral("/__sandbox/faults")));
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(QTest::qWaitFor([&] { return !loggedRequests("Pay.Ace.scanpay").isEmpty(); }, 10000));
    // A POST sent again by Qt's HTTP layer would go out before the request ends; the client logs its end (failed, or
    // a reply the second copy brought).
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QString log = client.output();
                     const int sent = log.indexOf(QStringLiteral("action=Pay.Ace.scanpay"));
                     return sent >= 0 && log.indexOf(QRegularExpression(QStringLiteral("failed|reply from")), sent) > 0;
                 },
                 40000),
             qPrintable(client.output()));
    QCOMPARE(loggedRequests("Pay.Ace.scanpay").size(), 1);
}

QTEST_GUILESS_MAIN(TestSaleE2E)
#include "tst_sale_e2e.moc"

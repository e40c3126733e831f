// A charge whose reply never comes, with the real client and sandbox on the X display the test script provides: the
// client checks the store's transactions instead of inviting a second charge. The sandbox's codes ending 8888 are
// paid while the customer types the password, after the client stopped waiting; a hung charge is never carried out.
// Both waits are shortened here: the client's through CASHIER_TEST_CHARGE_TIMING, the sandbox's on its command line.
#include "e2edriver.h"
#include "payments/journal.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace e2e;

namespace {

// The charge waits 3 s for its reply; the customer confirms after 6 s; the check lists every second.
const QString kTiming = QStringLiteral("CASHIER_TEST_CHARGE_TIMING=timeout=3000,interval=1000,duration=%1");
const QString kTip = QStringLiteral("温馨提示");

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

ClientFiles timing(int checkMs) {
    ClientFiles files;
    files.environment = QStringList{kTiming.arg(checkMs)};
    return files;
}

}  // namespace

class TestChargeCheckE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void paidDuringPasswordWaitIsFoundAndCompleted();
    void hungChargeStaysUnresolved();
    void killedMidChargeIsCheckedAfterRestart();
    void secondCopyLeavesTheFirstOnesChargeAlone();
    void clockOffStillFindsTheCharge_data();
    void clockOffStillFindsTheCharge();

private:
    // Answers the match box 是本次收款 the only way a keyboard can: Y, once the box has been up a moment. (Return
    // answers 不是.)
    void confirmMatch(const QString& box);
    // Signs in, confirms the first store, keys `amount`, scans `code`; the payment-code window.
    QString saleAndScan(Client& client, const QString& amount, const QString& code);
    int charges() const { return m_sandbox.loggedRequests(QStringLiteral("Pay.Ace.scanpay")).size(); }

    Sandbox m_sandbox;
};

void TestChargeCheckE2E::clockOffStillFindsTheCharge_data() {
    QTest::addColumn<QString>("fake");  // libfaketime's offset of the PC's clock
    QTest::addColumn<QString>("zone");  // the PC's time zone
    QTest::addColumn<QString>("told");  // what sign-in tells the cashier
    QTest::newRow("clock five minutes fast") << "+5m"
                                             << "CST-8"
                                             << "本机时间比网关快约 5 分钟";
    // Ten minutes fast, corrected (a time sync) after the first listing, while the gateway lists the sale only from
    // its fourth or so on: the charge's time was the gateway's, and the correction moves nothing.
    QTest::newRow("clock corrected mid-check") << "file:+10m"
                                               << "CST-8"
                                               << "本机时间比网关快约 10 分钟";
    // A shop PC left in UTC whose wall clock was set to Beijing time by hand: eight hours ahead in absolute time.
    QTest::newRow("UTC zone, Beijing wall clock") << "+8h"
                                                  << "UTC0"
                                                  << "本机的时区设置不对：本机是 UTC+0，网关是 UTC+8";
}

void TestChargeCheckE2E::clockOffStillFindsTheCharge() {
    QFETCH(QString, fake);
    QFETCH(QString, zone);
    QFETCH(QString, told);
    const QString faketime = QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");
    QVERIFY2(QFileInfo::exists(faketime), "libfaketime is missing (scripts/install-deps.sh test installs it)");
    m_sandbox.clearLog();
    // The gateway lists the sale at its own time, in its own zone.
    ClientFiles files = timing(30000);
    QTemporaryDir clockDir;
    const QString clockFile = clockDir.filePath(QStringLiteral("faketime"));
    if (fake.startsWith(QLatin1String("file:"))) {
        QVERIFY(writeFile(clockFile, fake.mid(5).toUtf8() + '\n'));
        files.environment << QStringLiteral("FAKETIME_TIMESTAMP_FILE=") + clockFile
                          << QStringLiteral("FAKETIME_NO_CACHE=1");
    } else {
        files.environment << QStringLiteral("FAKETIME=") + fake;
    }
    files.environment << QStringLiteral("LD_PRELOAD=") + faketime << QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC=1")
                      << QStringLiteral("TZ=") + zone;
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, files);
    signInAndChooseStore(client);
    // Sign-in says so, in one line.
    const QString clock = waitForVisible(kTip, 10000);
    QVERIFY2(!clock.isEmpty(), qPrintable(client.output()));
    QVERIFY2(client.waitForOutput(told, 1, 5000), qPrintable(client.output()));
    pointAt(clock, 60, 40);
    key(QStringLiteral("Return"));
    QVERIFY(waitForHidden(kTip));

    keyAmountAndScan(client, QStringLiteral("12.50"), QStringLiteral("130000000000008888"));
    if (fake.startsWith(QLatin1String("file:"))) {
        QVERIFY(QTest::qWaitFor(
            [&] { return !m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).isEmpty(); }, 15000));
        QVERIFY(writeFile(clockFile, "+0\n"));
    }
    const QString question = waitForVisible(kTip, 20000);
    QVERIFY2(!question.isEmpty(), qPrintable(client.output()));
    QCOMPARE(charges(), 1);
    confirmMatch(question);
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 10000).isEmpty(), qPrintable(client.output()));
    QCOMPARE(charges(), 1);
}

void TestChargeCheckE2E::initTestCase() {
    if (haveDisplayAndTools({QStringLiteral("xdotool")})) {
        m_sandbox.start({QStringLiteral("--password-wait-ms"), QStringLiteral("6000")});
    }
}

QString TestChargeCheckE2E::saleAndScan(Client& client, const QString& amount, const QString& code) {
    signInAndChooseStore(client);
    if (QTest::currentTestFailed()) {
        return {};
    }
    keyAmountAndScan(client, amount, code);
    return QTest::currentTestFailed() ? QString() : waitForVisible(QStringLiteral("扫码收款"), 5000);
}

void TestChargeCheckE2E::confirmMatch(const QString& box) {
    pointAt(box, 60, 40);
    QVERIFY(QTest::qWaitFor(
        [&] {
            key(QStringLiteral("y"));
            return waitForHidden(kTip, 300);
        },
        5000));
}

void TestChargeCheckE2E::paidDuringPasswordWaitIsFoundAndCompleted() {
    m_sandbox.clearLog();
    const QSet<QString> before = capturedJobs();
    const bool printing = captureQueueReady();
    Client client(m_sandbox.port(),
                  {{QStringLiteral("printerName"), printing ? captureQueue() : QStringLiteral("不打印小票")}},
                  timing(30000));
    const QString pay = saleAndScan(client, QStringLiteral("12.50"), QStringLiteral("130000000000008888"));
    QVERIFY2(!pay.isEmpty(), qPrintable(client.output()));

    // The charge times out while the customer is still typing; the window stays and checks.
    QVERIFY2(QTest::qWaitFor([&] { return !m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).isEmpty(); },
                             15000),
             qPrintable(client.output()));
    QVERIFY2(!visibleWindows(QStringLiteral("扫码收款")).isEmpty(), qPrintable(client.output()));
    QVERIFY(visibleWindows(kTip).isEmpty());
    // Another scan and Return while checking start nothing.
    scanCode(pay, QStringLiteral("130000000000000011"));

    // The sandbox records the charge at 6 s; the next listing finds it and the cashier is asked.
    const QString question = waitForVisible(kTip, 15000);
    QVERIFY2(!question.isEmpty(), qPrintable(client.output()));
    QCOMPARE(charges(), 1);
    QVERIFY(!m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).isEmpty());
    confirmMatch(question);

    const QString result = waitForVisible(QStringLiteral("收款成功"), 10000);
    QVERIFY2(!result.isEmpty(), qPrintable(client.output()));
    QVERIFY(waitForHidden(QStringLiteral("扫码收款")));
    QCOMPARE(charges(), 1);

    // The one order the sandbox recorded for this charge.
    const QJsonObject recorded = m_sandbox.loggedRequests(QStringLiteral("Pay.Ace.scanpay")).first();
    QCOMPARE(
        testsupport::formValue(recorded.value(QStringLiteral("body")).toString().toUtf8(), QStringLiteral("auth_code")),
        QStringLiteral("130000000000008888"));
    if (!printing) {
        QWARN("no capture queue: the receipt and its report are not checked");
        return;
    }
    // The result window reports the order it shows (its 系统单号) and prints it.
    const QString orderNo = m_sandbox.reportedPrint();
    if (orderNo.isEmpty()) {
        return;
    }
    // Order numbers of the sandbox start with the moment the charge was recorded and end with the order's id.
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{14}\\d{6}$")).match(orderNo).hasMatch(), qPrintable(orderNo));
    QSet<QString> added;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     added = capturedJobs() - before;
                     return !added.isEmpty();
                 },
                 20000),
             "no print job reached the capture queue");
    // Other tests may print at the same time: the receipt is the job that holds this order.
    bool found = false;
    for (const QString& job : added) {
        const QString text = jobText(job);
        if (printedTextHas(text, orderNo)) {
            found = true;
            QVERIFY2(printedTextHas(text, QStringLiteral("微信")) && printedTextHas(text, QStringLiteral("12.50")),
                     qPrintable(text));
        }
    }
    QVERIFY2(found, qPrintable(orderNo + QStringLiteral(" is on no receipt")));
}

void TestChargeCheckE2E::hungChargeStaysUnresolved() {
    m_sandbox.clearLog();
    // The gateway never answers the first charge and never carries it out.
    m_sandbox.addFault(R"({"action":"Pay.Ace.scanpay","mode":"hang","times":1})");
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, timing(6000));
    // Another amount than the other cases' sales, which the listing would otherwise rightly offer.
    const QString pay = saleAndScan(client, QStringLiteral("7.30"), QStringLiteral("280000000000000021"));
    QVERIFY2(!pay.isEmpty(), qPrintable(client.output()));

    // The charge is given up on and the window checks.
    QVERIFY2(QTest::qWaitFor([&] { return !m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).isEmpty(); },
                             15000),
             qPrintable(client.output()));
    QVERIFY2(!visibleWindows(QStringLiteral("扫码收款")).isEmpty(), qPrintable(client.output()));
    scanCode(pay, QStringLiteral("280000000000000022"));  // ignored while checking

    // Nothing is listed: the cashier is told the outcome is unknown; 稍后处理 (Escape) keeps it unresolved, and the
    // window takes no new scan until the cashier releases it on purpose.
    const QString box = waitForVisible(kTip, 15000);
    QVERIFY2(!box.isEmpty(), qPrintable(client.output()));
    QCOMPARE(charges(), 1);
    QVERIFY(m_sandbox.loggedRequests(QStringLiteral("Account.Pay.listPay")).size() >= 2);
    pointAt(box, 60, 40);
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(kTip));
    const QString again = waitForVisible(QStringLiteral("扫码收款"), 5000);
    QVERIFY(!again.isEmpty());
    scanCode(again, QStringLiteral("280000000000000023"));
    // Escape after the scan: once the window has hidden, the scan before it has been handled. A charge would have
    // been logged as it went out.
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("扫码收款")));
    QCOMPARE(client.output().count(QStringLiteral("action=Pay.Ace.scanpay")), 1);
    QCOMPARE(charges(), 1);
    m_sandbox.clearFaults();
}

void TestChargeCheckE2E::killedMidChargeIsCheckedAfterRestart() {
    m_sandbox.clearLog();
    Client client(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, timing(30000));
    const QString pay = saleAndScan(client, QStringLiteral("8.80"), QStringLiteral("130000000000008888"));
    QVERIFY2(!pay.isEmpty(), qPrintable(client.output()));
    // Killed while the customer types the password: the sandbox records the charge after the client is gone.
    QVERIFY(QTest::qWaitFor([&] { return charges() == 1; }, 5000));
    client.killAndRestart();

    // After sign-in, before anything else, the payment window is back for that charge and finds it.
    signInAndChooseStore(client);
    const QString question = waitForVisible(kTip, 20000);
    QVERIFY2(!question.isEmpty(), qPrintable(client.output()));
    confirmMatch(question);
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 10000).isEmpty(), qPrintable(client.output()));
    QCOMPARE(charges(), 1);
}

void TestChargeCheckE2E::secondCopyLeavesTheFirstOnesChargeAlone() {
    m_sandbox.clearLog();
    // The first copy's charge is on its way for a while: the gateway answers it late (and carries it out).
    m_sandbox.addFault(R"({"action":"Pay.Ace.scanpay","mode":"delay","delay_ms":9000,"times":1})");
    ClientFiles files;
    files.environment = QStringList{QStringLiteral("CASHIER_TEST_CHARGE_TIMING=timeout=30000,interval=1000")};
    Client first(m_sandbox.port(), {{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, files);
    const QString pay = saleAndScan(first, QStringLiteral("6.60"), QStringLiteral("280000000000000031"));
    QVERIFY2(!pay.isEmpty(), qPrintable(first.output()));
    QVERIFY(QTest::qWaitFor([&] { return charges() == 1; }, 5000));

    // The first copy goes to the tray (its payment window hides while the charge goes on), out of the way of the
    // second copy's login window.
    pointAt(pay, 246, 160);
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("扫码收款")));
    const QString main = waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600));
    pointAt(main, 400, 300);
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("柚屿智付")));

    // A second copy in the same folder is signed in meanwhile: the open charge is the first copy's, so it is told
    // so, and neither takes the charge over nor sends one.
    auto second = first.startCopy();
    signInOnScreen(m_sandbox);
    // Alt+Z and the POS port are the first copy's: those boxes come first, and the next only once they are
    // answered.
    for (QString info = waitForVisible(QStringLiteral("提示信息"), 10000); !info.isEmpty();
         info = waitForVisible(QStringLiteral("提示信息"), 2000)) {
        pointAt(info, 60, 40);
        key(QStringLiteral("Return"));
        QVERIFY(QTest::qWaitFor([&] { return !visibleWindows(QStringLiteral("提示信息")).contains(info); }, 5000));
    }
    QVERIFY2(!waitForVisible(kTip, 15000).isEmpty(), qPrintable(QString::fromUtf8(second->readAll())));
    {
        const auto opened = journal::Journal::openFile(first.path(QStringLiteral("payments.db")));
        QVERIFY(opened.journal);
        const QList<journal::Attempt> open = opened.journal->open(QString());
        QCOMPARE(open.size(), 1);
        QCOMPARE(open.first().state, journal::State::Sending);  // not taken for a crashed run's
        QVERIFY(opened.journal->heldElsewhere(open.first()));
        QVERIFY(open.first().owner.pid != second->processId());
    }
    QCOMPARE(charges(), 1);

    // The late answer reaches the copy that sent it, which completes the sale.
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 20000).isEmpty(), qPrintable(first.output()));
    QCOMPARE(charges(), 1);
    const auto opened = journal::Journal::openFile(first.path(QStringLiteral("payments.db")));
    QCOMPARE(opened.journal->open(QString()).size(), 0);
    m_sandbox.clearFaults();
}

QTEST_GUILESS_MAIN(TestChargeCheckE2E)
#include "tst_chargecheck_e2e.moc"

// The serial amount bridge of the main window, with real pseudo-terminals as the POS and display lines.
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "collect/formcs.h"
#include "app/usersession.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "collect/ticketform.h"
#include "payments/journal.h"
#include "screens.h"
#include "shell/mainwindow.h"
#include "core/posbridge.h"
#include "testsupport.h"

#include <QGuiApplication>
#include <QRadioButton>
#include <QSerialPort>
#include <QWindow>
#include <QtTest>

using namespace testsupport;

namespace {}  // namespace

class TestShellSerial : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<TempWorkDir>();
        m_pos = std::make_unique<PtyLine>();
        m_display = std::make_unique<PtyLine>();
        QVERIFY(m_pos->isOpen() && m_display->isOpen());
        till().settings().setSerialDevice(QStringLiteral("COM9"), m_pos->device());
        till().settings().setSerialDevice(QStringLiteral("COM2"), m_display->device());
        till().record().softPortNo = 9;
        till().record().showPortNo = 2;
    }
    void cleanup() {
        m_display.reset();
        m_pos.reset();
        m_dir.reset();
    }

    void amountReachesThePageAndBytesTheDisplay_data();
    void amountReachesThePageAndBytesTheDisplay();
    void showingTheWindowCollectsThePendingAmountOnce();
    void showingTheWindowWhileALineArrivesWaitsForIt();
    void showingTheWindowWhileALampArrivesCollectsTheTotal();
    void paymentWindowKeepsTheKeyboardWhenTheMainWindowIsActivatedAfterIt();
    void portsThatCannotBeOpenedAreReported_data();
    void portsThatCannotBeOpenedAreReported();
    void posAmountDuringATicketChargeKeepsTheCharge();

private:
    std::unique_ptr<TempWorkDir> m_dir;
    std::unique_ptr<PtyLine> m_pos;
    std::unique_ptr<PtyLine> m_display;
};

void TestShellSerial::amountReachesThePageAndBytesTheDisplay_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<bool>("display");
    QTest::addColumn<QString>("field");
    QTest::newRow("ESC Q A 12.50 CR, display on")
        << QList<QByteArray>{testsupport::hex("1b514131322e35300d")} << true << "12.50";
    QTest::newRow("display off") << QList<QByteArray>{testsupport::hex("1b514131322e35300d")} << false << "12.50";
    QTest::newRow("split message") << QList<QByteArray>{testsupport::hex("1b514132"), testsupport::hex("352e30300d")}
                                   << true << "25.00";
    QTest::newRow("no CR: taken after the quiet gap") << QList<QByteArray>{QByteArray("\x1bQA7.70")} << true << "7.70";
    QTest::newRow("a clear leaves the amount")
        << QList<QByteArray>{QByteArray("\x1bQA3.00\r"), QByteArray("\x0c\r")} << true << "3.00";
    QTest::newRow("the total lamp after the total leaves the total")
        << QList<QByteArray>{QByteArray("\x1bQA12.50\r"), QByteArray("\x1bs2")} << true << "12.50";
}

void TestShellSerial::amountReachesThePageAndBytesTheDisplay() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(bool, display);
    QFETCH(QString, field);
    till().record().showEnabled = display ? 1 : 0;
    MessageBoxWatcher boxes;
    MainWindow w(till());
    w.show();
    QVERIFY(till().pos().softwarePort() && till().pos().softwarePort()->isOpen());
    QCOMPARE(till().pos().displayEnabled(), display);
    QCOMPARE(w.currentPageIndex(), int(MainWindow::TicketPage));

    QByteArray sent;
    for (const QByteArray& chunk : chunks) {
        QSignalSpy reads(till().pos().softwarePort(), &QSerialPort::readyRead);
        QVERIFY(m_pos->write(chunk));
        sent += chunk;
        // Separate reads, as a POS writing in pieces: the port has taken this piece before the next is written.
        QTRY_VERIFY(!reads.isEmpty() && m_pos->unread() == 0 && till().pos().softwarePort()->bytesAvailable() == 0);
    }
    QTRY_VERIFY(w.amountPage());
    QTRY_COMPARE(w.amountPage()->fieldText(), field);
    QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("smsk_btn"))->isChecked());
    QVERIFY(w.amountPending());
    // The display gets exactly what the POS wrote, or nothing at all: switched off, its port is not even open.
    if (display) {
        QCOMPARE(m_display->read(2000, sent.size()), sent);
    } else {
        QVERIFY(!till().pos().displayPortOpen());
        QCOMPARE(m_display->read(0), QByteArray());
    }
    QCOMPARE(boxes.count(), 0);
}

void TestShellSerial::showingTheWindowCollectsThePendingAmountOnce() {
    MessageBoxWatcher boxes;
    MainWindow w(till());
    w.hide();
    QVERIFY(m_pos->write(testsupport::hex("1b514131322e35300d")));
    QTRY_VERIFY(w.amountPending());
    QVERIFY(!w.isVisible());
    FormSaoMaShouKuan* page = w.amountPage();
    QVERIFY(page);
    QCOMPARE(page->fieldText(), QStringLiteral("12.50"));

    w.showWindow();
    QVERIFY(w.isVisible());
    QVERIFY(!w.amountPending());
    QPointer<FormCS> pay = page->paymentWindow();
    QVERIFY(pay);
    QCOMPARE(pay->chargeAmountFen(), std::optional<qint64>(1250));
    w.showWindow();
    QCOMPARE(visibleTopLevels<FormCS>().size(), 1);
    QCOMPARE(page->paymentWindow(), pay.data());
    QCOMPARE(boxes.count(), 0);
    delete pay;
}

void TestShellSerial::showingTheWindowWhileALineArrivesWaitsForIt() {
    MessageBoxWatcher boxes;
    MainWindow w(till());
    QVERIFY(m_pos->write(QByteArray("\x1bQA8.00\r")));
    QTRY_VERIFY(w.amountPending());
    // The next total is half way through when the cashier brings the window up: its whole amount is collected,
    // not the one before it and not its first digit.
    QVERIFY(m_pos->write(QByteArray("\x1bQA2")));
    QTRY_VERIFY(till().pos().amountArriving());
    w.showWindow();
    QVERIFY(!w.amountPage()->paymentWindow());
    QVERIFY(m_pos->write(QByteArray("5.00\r")));
    QTRY_VERIFY(w.amountPage()->paymentWindow());
    QPointer<FormCS> pay = w.amountPage()->paymentWindow();
    QCOMPARE(pay->chargeAmountFen(), std::optional<qint64>(2500));
    QVERIFY(!w.amountPending());
    QCOMPARE(boxes.count(), 0);
    delete pay;
}

void TestShellSerial::showingTheWindowWhileALampArrivesCollectsTheTotal() {
    MessageBoxWatcher boxes;
    MainWindow w(till());
    QVERIFY(m_pos->write(QByteArray("\x1bQA6.60\r\x1b")));
    QTRY_VERIFY(w.amountPending() && till().pos().amountArriving());
    // The ESC that follows the total could begin a new amount, so the window waits for it ...
    w.showWindow();
    QVERIFY(!w.amountPage()->paymentWindow());
    // ... and it turns out to be the total lamp: the total is collected.
    QVERIFY(m_pos->write(QByteArray("s2")));
    QTRY_VERIFY(w.amountPage()->paymentWindow());
    QPointer<FormCS> pay = w.amountPage()->paymentWindow();
    QCOMPARE(pay->chargeAmountFen(), std::optional<qint64>(660));
    QVERIFY(!w.amountPending());
    QCOMPARE(boxes.count(), 0);
}

void TestShellSerial::paymentWindowKeepsTheKeyboardWhenTheMainWindowIsActivatedAfterIt() {
    MessageBoxWatcher boxes;
    StubGateway stub;
    stub.setReply(R"({"content":{"msg":"余额不足"}})");
    till().settings().setGatewayUrl(stub.url());
    MainWindow w(till());
    w.hide();
    QVERIFY(m_pos->write(hex("1b514131322e35300d")));
    QTRY_VERIFY(w.amountPending());

    // Alt+Z: the payment window opens at once, and only then does the window manager activate the main window it
    // was mapping. The platform hands each key to the window with the input focus, now the main window.
    w.showWindow();
    QPointer<FormCS> pay = w.amountPage()->paymentWindow();
    QVERIFY(pay && pay->isVisible());
    w.windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), w.windowHandle());

    const QString code = QStringLiteral("280000000000090401");
    for (const QChar c : code) {
        QTest::keyClick(QGuiApplication::focusWindow(), c.toLatin1());
    }
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
    QVERIFY(stub.waitForBodies(1));
    QCOMPARE(formValue(stub.bodies().first(), QStringLiteral("auth_code")), code);
    // Refused: the box is answered and the window is back for the next scan; again the main window is activated
    // after it, and Escape still reaches it (only the press: the window is gone before a release could arrive).
    QVERIFY(boxes.waitForBoxes(1));
    QTRY_VERIFY(pay->isVisible());
    w.windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), w.windowHandle());
    QTest::keyPress(QGuiApplication::focusWindow(), Qt::Key_Escape);
    QTRY_VERIFY(!pay || !pay->isVisible());
    QVERIFY(w.isVisible());
    delete pay;
}

void TestShellSerial::portsThatCannotBeOpenedAreReported_data() {
    QTest::addColumn<QString>("softDevice");
    QTest::addColumn<int>("showPort");
    QTest::addColumn<bool>("softOpen");
    QTest::addColumn<bool>("display");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("software port missing")
        << "/dev/nonexistent-pos" << 2 << false << true << QStringList{"软件串口不可用，请重新设置串口"};
    QTest::newRow("both on the same port") << "" << 9 << true << false << QStringList{"客显串口不可用，请重新设置串口"};
}

void TestShellSerial::portsThatCannotBeOpenedAreReported() {
    QFETCH(QString, softDevice);
    QFETCH(int, showPort);
    QFETCH(bool, softOpen);
    QFETCH(bool, display);
    QFETCH(QStringList, texts);
    if (!softDevice.isEmpty()) {
        till().settings().setSerialDevice(QStringLiteral("COM9"), softDevice);
    }
    till().record().showPortNo = showPort;
    till().record().showEnabled = 1;
    MessageBoxWatcher boxes;
    MainWindow w(till());
    w.show();
    QVERIFY(boxes.waitForBoxes(texts.size()));
    QVERIFY(waitForQueuedWork());  // the boxes are raised on queued calls: none is left
    QCOMPARE(boxes.count(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(boxes.boxes().at(i).icon, QMessageBox::Critical);
        QCOMPARE(boxes.boxes().at(i).title, QStringLiteral("提示信息"));
        QCOMPARE(boxes.boxes().at(i).text, texts.at(i));
    }
    QCOMPARE(till().pos().softwarePort()->isOpen(), softOpen);
    QCOMPARE(till().pos().displayEnabled(), display);

    // Re-opened after the fault is mended (the settings page does this after a save).
    till().settings().setSerialDevice(QStringLiteral("COM9"), m_pos->device());
    till().record().showPortNo = 2;
    till().pos().open();
    QVERIFY(till().pos().softwarePort()->isOpen());
    QVERIFY(till().pos().displayEnabled());
    QCOMPARE(boxes.count(), texts.size());
}

void TestShellSerial::posAmountDuringATicketChargeKeepsTheCharge() {
    MessageBoxWatcher boxes;
    StubGateway stub;
    stub.setHandler([](const QByteArray& body) {
        if (actionOf(body) == "Pay.Ace.ticketscanpay") {
            return StubGateway::Response{
                200, R"({"content":{"msg":"成功","out_trade_no":"TK1","money":"5000","pay_channel":"WECHAT"}})", 800};
        }
        return StubGateway::Response{200, R"({"content":{"msg":"成功"}})", 0};
    });
    till().settings().setGatewayUrl(stub.url());
    till().session().setLoginInfo(LoginInfo{"tk-1", "42", "demo", "张三", QString()});
    till().session().setCurrentShop(Shop{"7", "岚舟", "西湖店"});
    till().session().setTicketTypes(
        {TicketType{QStringLiteral("票3"), 2000, 3}, TicketType{QStringLiteral("票7"), 1000, 7}});
    MainWindow w(till());
    w.show();
    QPointer<FormCS> cs = sellTwoAndOne(*w.ticketPage());
    const QString saleId = cs->controller()->saleId();
    QTest::keyClicks(cs, "130000000000000001");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(cs->isCharging());
    // The POS sends the next customer's total while the charge is out: the amount page takes the ticket page's place.
    QVERIFY(m_pos->write(testsupport::hex("1b514132352e30300d")));
    QTRY_VERIFY(w.amountPage() && w.amountPage()->fieldText() == QStringLiteral("25.00"));
    QTRY_VERIFY(!w.ticketPage());
    QVERIFY(cs);  // the window outlived its page, and the reply still ends the sale
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(till().journal()->ofSale(saleId).first().state, journal::State::Paid);
    QCOMPARE(labelText(*resultWindows().first(), "label_sys_order"), QStringLiteral("TK1"));
    QCOMPARE(w.amountPage()->fieldText(), QStringLiteral("25.00"));  // the next customer's amount stays
    QCOMPARE(stub.countOf("Pay.Ace.ticketscanpay"), 1);
    QCOMPARE(boxes.count(), 0);
    closeResultWindows();
}

QTEST_MAIN(TestShellSerial)
#include "tst_shell_serial.moc"

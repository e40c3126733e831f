#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "app/usersession.h"
#include "screens.h"
#include "testsupport.h"

#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QtTest>

using namespace testsupport;

namespace {

// Waits until the page's key window has closed and its key was taken or dropped. Waiting on the page rather than
// for a fixed time keeps the outcome the same on a loaded machine or in the sanitizer build.
void waitForKeyWindow(FormSaoMaShouKuan& page) {
    QVERIFY(QTest::qWaitFor([&] { return !page.keyWindowOpen(); }, 5000));
}

// Keys the page as the keypad (or the main window's forwarding) does: digits, ".", "+", "=", "<" for back.
void press(FormSaoMaShouKuan& page, QChar key) {
    static const char* const digits[] = {
        "on_zer_btn_clicked", "on_one_btn_clicked", "on_two_btn_clicked", "on_thr_btn_clicked", "on_fou_btn_clicked",
        "on_fiv_btn_clicked", "on_six_btn_clicked", "on_sev_btn_clicked", "on_eig_btn_clicked", "on_nine_btn_clicked"};
    if (key.isDigit()) {
        QMetaObject::invokeMethod(&page, digits[key.digitValue()], Qt::DirectConnection);
    } else if (key == '.') {
        page.on_dot_btn_clicked();
    } else if (key == '+') {
        page.on_add_btn_clicked();
    } else if (key == '=') {
        page.on_equal_btn_clicked();
    } else if (key == '<') {
        page.on_back_btn_clicked();
    }
}

void keySlowly(FormSaoMaShouKuan& page, const QString& keys) {
    for (const QChar k : keys) {
        press(page, k);
        waitForKeyWindow(page);
    }
}

QByteArray successReply(const QByteArray& channel = "ALIPAY") {
    return QByteArray(R"({"code":0,"content":{"msg":"成功","operator":"张三","out_trade_no":"ORD1","pay_channel":")") +
           channel + R"(","money":1250,"pay_date":"2026-12-07 08:00:00","shopname":"东门店"}})";
}

void signIn() {
    till().session().setLoginInfo(
        LoginInfo{QStringLiteral("tk-1"), QStringLiteral("42"), QString(), QString(), QString()});
    till().session().setCurrentShop(Shop{QStringLiteral("7"), QString(), QString()});
}

}  // namespace

class TestCollectAmount : public QObject {
    Q_OBJECT

private slots:
    // Each test ends its windows itself; none may be left to take the next test's replies (each test has a till of
    // its own, whose charges are its own).
    void cleanup() { QCOMPARE(endSaleWindows(), 0); }
    void keyWindow_data();
    void keyWindow();
    void addition_data();
    void addition();
    void scannerBurstDoesNotCollect_data();
    void scannerBurstDoesNotCollect();
    void refusedAmounts_data();
    void refusedAmounts();
    void paymentWindowShowsCharge_data();
    void paymentWindowShowsCharge();
    void chargeBody_data();
    void chargeBody();
    void successClearsAmountAndShowsResult();
    void refusalKeepsWindow_data();
    void refusalKeepsWindow();
    void timeoutIsCheckedNotRepeated();
    void returnIgnoredWhileCharging();
    void escapeCloses();
    void collectEndsAddition_data();
    void collectEndsAddition();
    void resultSurvivesClosedWindowAndPage();
};

void TestCollectAmount::keyWindow_data() {
    QTest::addColumn<QStringList>("bursts");  // each entry is keyed at once; entries are a key window apart
    QTest::addColumn<QString>("field");
    QTest::newRow("one digit shows after the window") << QStringList{"7"} << "7";
    QTest::newRow("two presses in one window add nothing") << QStringList{"12"} << "";
    QTest::newRow("burst between slow keys is dropped") << QStringList{"1", "2345", "6"} << "16";
    QTest::newRow("point on empty field refused") << QStringList{"."} << "";
    QTest::newRow("point after 1 and 2") << QStringList{"1", "2", "."} << "12.";
    QTest::newRow("second point ignored") << QStringList{"1", ".", "5", "."} << "1.5";
    QTest::newRow("three decimals stay as typed") << QStringList{"1", ".", "2", "3", "4"} << "1.234";
    QTest::newRow("back removes the last") << QStringList{"4", "2", "<"} << "4";
    QTest::newRow("back on empty keeps empty") << QStringList{"<"} << "";
}

void TestCollectAmount::keyWindow() {
    QFETCH(QStringList, bursts);
    QFETCH(QString, field);
    TempWorkDir dir;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    for (const QString& burst : bursts) {
        const QString before = page.fieldText();
        for (const QChar k : burst) {
            press(page, k);
        }
        // Nothing reaches the field inside the window (back acts at once).
        if (burst != "<") {
            QCOMPARE(page.fieldText(), before);
        }
        waitForKeyWindow(page);
    }
    QCOMPARE(page.fieldText(), field);
}

void TestCollectAmount::addition_data() {
    QTest::addColumn<QString>("start");  // put in by the serial bridge
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("field");
    QTest::newRow("12 + 3 =") << ""
                              << "12+3="
                              << "15.00";
    QTest::newRow("12 + 34 =") << ""
                               << "12+34="
                               << "46.00";
    QTest::newRow("chain with repeated +") << ""
                                           << "1+2+3="
                                           << "6.00";
    QTest::newRow("large sum keeps every fen") << "1234567.89"
                                               << "+1="
                                               << "1234568.89";
    QTest::newRow("fen sum") << "0.10"
                             << "+.2="
                             << "0.30";
    QTest::newRow("+ on 0 does nothing") << "0"
                                         << "+5="
                                         << "05";
    QTest::newRow("= without + does nothing") << ""
                                              << "5="
                                              << "5";
    QTest::newRow("back on empty cancels the +") << ""
                                                 << "3+<<<9="
                                                 << "9";
}

void TestCollectAmount::addition() {
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QString, field);
    TempWorkDir dir;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    if (!start.isEmpty()) {
        page.setAmountText(start);
    }
    keySlowly(page, keys);
    QCOMPARE(page.fieldText(), field);
}

void TestCollectAmount::scannerBurstDoesNotCollect_data() {
    QTest::addColumn<bool>("throughKeyEvents");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("opens");
    QTest::newRow("forwarded burst then collect") << false << "28001234" << false;
    QTest::newRow("key-event burst then collect") << true << "28001234" << false;
    QTest::newRow("quiet page collects") << true << "" << true;
    QTest::newRow("after the window closes, collects") << false << "" << true;
}

void TestCollectAmount::scannerBurstDoesNotCollect() {
    QFETCH(bool, throughKeyEvents);
    QFETCH(QString, typed);
    QFETCH(bool, opens);
    TempWorkDir dir;
    QWidget host;
    auto* page = new FormSaoMaShouKuan(till(), &host);
    page->setAmountText("12.50");
    if (throughKeyEvents) {
        QTest::keyClicks(page, typed);
    } else {
        for (const QChar k : typed) {
            press(*page, k);
        }
    }
    // The Return that ends the burst arrives while the key window is still open.
    page->on_sk_btn_clicked();
    QCOMPARE(page->paymentWindow() != nullptr, opens);
    waitForKeyWindow(*page);
    QCOMPARE(page->fieldText(), QString("12.50"));  // the burst never reached the field
    if (!opens) {
        page->on_sk_btn_clicked();  // a Return well after the burst is a real one
        QVERIFY(page->paymentWindow());
    }
    page->paymentWindow()->close();
}

void TestCollectAmount::refusedAmounts_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "请输入收款金额";
    QTest::newRow("0") << "0"
                       << "收款金额不能为0";
    QTest::newRow("0.00") << "0.00"
                          << "收款金额不能为0";
    QTest::newRow("00") << "00"
                        << "收款金额不能为0";
    QTest::newRow("0.") << "0."
                        << "收款金额不能为0";
    // The cents rule leaves nothing to charge: refused before any request.
    QTest::newRow("0.001 is 0 fen") << "0.001"
                                    << "收款金额不能为0";
    QTest::newRow("not an amount") << "abc"
                                   << "收款金额格式不正确";
}

void TestCollectAmount::refusedAmounts() {
    QFETCH(QString, field);
    QFETCH(QString, message);
    TempWorkDir dir;
    MessageBoxWatcher boxes;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText(field);
    page.startCollect();
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(boxes.last().icon, QMessageBox::Warning);
    QCOMPARE(boxes.last().title, QString("提示信息"));
    QCOMPARE(boxes.last().text, message);
    QVERIFY(!page.paymentWindow());
    QCOMPARE(page.fieldText(), field);
}

void TestCollectAmount::paymentWindowShowsCharge_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("keep 100") << 0 << "100"
                              << "100元";
    QTest::newRow("keep 12345.67 in full") << 0 << "12345.67"
                                           << "12345.67元";
    QTest::newRow("round 12.35") << 1 << "12.35"
                                 << "12.4元";
    QTest::newRow("drop 12.39") << 2 << "12.39"
                                << "12.3元";
}

void TestCollectAmount::paymentWindowShowsCharge() {
    QFETCH(int, mode);
    QFETCH(QString, amount);
    QFETCH(QString, shown);
    TempWorkDir dir;
    till().record().centsMode = mode;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText(amount);
    page.startCollect();
    QVERIFY(page.paymentWindow());
    QCOMPARE(page.paymentWindow()->findChild<QLabel*>("lblMoney")->text(), shown);
    page.paymentWindow()->close();
}

void TestCollectAmount::chargeBody_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("scanned");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("sale") << 0 << "12.50"
                          << "28001234"
                          << QByteArray(
                                 "version=3.0&action=Pay.Ace.scanpay&auth_code=28001234&money=1250&uid=42&"
                                 "shopid=7&");
    QTest::newRow("large sale keeps fen") << 0 << "12345.67"
                                          << "13999"
                                          << QByteArray(
                                                 "version=3.0&action=Pay.Ace.scanpay&auth_code=13999&"
                                                 "money=1234567&uid=42&shopid=7&");
    QTest::newRow("control keys stay out of the code") << 0 << "1"
                                                       << "28\x16"
                                                          "01"
                                                       << QByteArray(
                                                              "version=3.0&action=Pay.Ace.scanpay&auth_code=2801&"
                                                              "money=100&uid=42&shopid=7&");
    QTest::newRow("nothing scanned") << 0 << "1"
                                     << ""
                                     << QByteArray(
                                            "version=3.0&action=Pay.Ace.scanpay&auth_code=&money=100&uid=42&"
                                            "shopid=7&");
    QTest::newRow("typed & cannot add a field") << 0 << "1"
                                                << "28&money=1"
                                                << QByteArray(
                                                       "version=3.0&action=Pay.Ace.scanpay&auth_code=28%26money%"
                                                       "3D1&money=100&uid=42&shopid=7&");
}

void TestCollectAmount::chargeBody() {
    QFETCH(int, mode);
    QFETCH(QString, amount);
    QFETCH(QString, scanned);
    QFETCH(QByteArray, body);
    TempWorkDir dir;
    signIn();
    till().record().centsMode = mode;
    StubGateway stub;
    stub.setReply(R"({"content":{"msg":"余额不足"}})");
    till().settings().setGatewayUrl(stub.url());
    MessageBoxWatcher boxes;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText(amount);
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QVERIFY(cs);
    for (const QChar c : scanned) {
        // What Ctrl+V and other control keys deliver: a key whose text is a control character.
        QKeyEvent press(QEvent::KeyPress, c.isPrint() ? int(c.unicode()) : int(Qt::Key_V),
                        c.isPrint() ? Qt::NoModifier : Qt::ControlModifier, QString(c));
        QApplication::sendEvent(cs, &press);
    }
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(stub.waitForBodies(1));
    QCOMPARE(stub.bodies().first(), body);
    QVERIFY(boxes.waitForBoxes(1));
}

void TestCollectAmount::successClearsAmountAndShowsResult() {
    TempWorkDir dir;
    MessageBoxWatcher boxes;
    signIn();
    StubGateway stub;
    stub.setReply(successReply());
    till().settings().setGatewayUrl(stub.url());
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("12.50");
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QVERIFY(cs);
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(page.fieldText(), QString());
    QVERIFY(QTest::qWaitFor([&] { return cs.isNull(); }, 2000));
    FormTradeInfo* info = resultWindows().first();
    QCOMPARE(labelText(*info, "label_sys_order"), QString("ORD1"));
    QCOMPARE(labelText(*info, "label_money"), QString("12.50"));
    closeResultWindows();
    // No printer chosen: nothing was reported besides the charge.
    QVERIFY(stub.roundTrip());
    QCOMPARE(stub.bodies().size(), 1);
}

void TestCollectAmount::refusalKeepsWindow_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("gateway refusal") << QByteArray(R"({"content":{"msg":"付款码已过期"}})") << "付款码已过期";
    // (Envelopes that say nothing clear about the charge, a success in other words included, leave its outcome
    // unknown: tst_collect_chargecheck.)
}

void TestCollectAmount::refusalKeepsWindow() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    TempWorkDir dir;
    signIn();
    StubGateway stub;
    stub.setHandler([reply](const QByteArray& body) {
        if (formValue(body, "action") == "Account.Pay.listPay") {
            return StubGateway::Response{200, R"({"content":{"listpay":[],"total_page":1}})", 0};
        }
        return StubGateway::Response{200, reply, 0};
    });
    till().settings().setGatewayUrl(stub.url());
    MessageBoxWatcher boxes;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("12.50");
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(boxes.last().title, QString("温馨提示"));
    QCOMPARE(boxes.last().text, message);
    QVERIFY(waitForQueuedWork());  // a close after the box would have been queued
    QVERIFY(cs);
    QVERIFY(!cs->isCharging());
    QCOMPARE(page.fieldText(), QString("12.50"));
    QVERIFY(resultWindows().isEmpty());
    // The scan buffer was emptied: the next scan is charged on its own, once the listing shows that the refused
    // attempt took nothing.
    QTest::keyClicks(cs, "13555");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(stub.waitForBodies(3));
    QCOMPARE(formValue(stub.bodies().at(1), "action"), QString("Account.Pay.listPay"));
    QCOMPARE(formValue(stub.bodies().at(2), "auth_code"), QString("13555"));
    QVERIFY(boxes.waitForBoxes(2));
}

void TestCollectAmount::timeoutIsCheckedNotRepeated() {
    TempWorkDir dir;
    signIn();
    StubGateway stub;
    stub.setHandler([](const QByteArray&) { return StubGateway::Response{200, successReply(), 1500}; });
    till().settings().setGatewayUrl(stub.url());
    MessageBoxWatcher boxes;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("12.50");
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    cs->setRequestTimeout(200);
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    // No reply in time: the charge may have gone through, so the window checks instead of asking for a new scan.
    QVERIFY(QTest::qWaitFor([&] { return cs && cs->isChecking(); }, 3000));
    QCOMPARE(boxes.count(), 0);
    QVERIFY(cs->isVisible());
    QCOMPARE(page.fieldText(), QString("12.50"));
    // The late success has come back; it must not be taken for this charge.
    QVERIFY(stub.waitForAnswers());
    QVERIFY(stub.roundTrip());
    QVERIFY(resultWindows().isEmpty());
    QCOMPARE(formValue(stub.bodies().first(), "action"), QString("Pay.Ace.scanpay"));
    for (int i = 1; i < stub.bodies().size(); ++i) {
        QCOMPARE(formValue(stub.bodies().at(i), "action"), QString("Account.Pay.listPay"));
    }
    delete cs;  // still checking; it no longer belongs to the page
}

void TestCollectAmount::returnIgnoredWhileCharging() {
    TempWorkDir dir;
    signIn();
    StubGateway stub;
    stub.setHandler([](const QByteArray&) {
        return StubGateway::Response{200, R"({"content":{"msg":"付款码已过期"}})", 400};
    });
    till().settings().setGatewayUrl(stub.url());
    MessageBoxWatcher boxes;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("12.50");
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(cs->isCharging());
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(boxes.waitForBoxes(1));
    QVERIFY(stub.roundTrip());
    QCOMPARE(stub.bodies().size(), 1);
    QCOMPARE(boxes.count(), 1);
}

void TestCollectAmount::escapeCloses() {
    TempWorkDir dir;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("5");
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QVERIFY(cs && cs->isVisible());
    QTest::keyClick(cs, Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([&] { return cs.isNull(); }, 2000));
    QCOMPARE(page.fieldText(), QString("5"));
}

void TestCollectAmount::collectEndsAddition_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("collected");
    QTest::addColumn<QString>("after");
    QTest::newRow("pending sum is collected") << "12+3"
                                              << "15.00"
                                              << "15.005";
    QTest::newRow("bare + is dropped") << "12+"
                                       << "12"
                                       << "125";
}

void TestCollectAmount::collectEndsAddition() {
    QFETCH(QString, before);
    QFETCH(QString, collected);
    QFETCH(QString, after);
    TempWorkDir dir;
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    keySlowly(page, before);
    page.startCollect();
    QPointer<FormCS> cs = page.paymentWindow();
    QVERIFY(cs);
    QCOMPARE(page.fieldText(), collected);
    cs->close();
    // Keys after the payment window closed extend the amount shown; no addition is left pending.
    keySlowly(page, "5=");
    QCOMPARE(page.fieldText(), after);
}

void TestCollectAmount::resultSurvivesClosedWindowAndPage() {
    TempWorkDir dir;
    signIn();
    StubGateway stub;
    stub.setHandler([](const QByteArray&) { return StubGateway::Response{200, successReply(), 500}; });
    till().settings().setGatewayUrl(stub.url());
    QWidget host;
    auto* page = new FormSaoMaShouKuan(till(), &host);
    page->setAmountText("12.50");
    page->startCollect();
    QPointer<FormCS> cs = page->paymentWindow();
    QTest::keyClicks(cs, "28001234");
    QTest::keyClick(cs, Qt::Key_Return);
    QTest::keyClick(cs, Qt::Key_Escape);
    QVERIFY(cs);
    QVERIFY(!cs->isVisible());
    delete page;  // the cashier switched pages while the charge was on its way
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(labelText(*resultWindows().first(), "label_sys_order"), QString("ORD1"));
    QVERIFY(QTest::qWaitFor([&] { return cs.isNull(); }, 2000));
    closeResultWindows();
}

QTEST_MAIN(TestCollectAmount)
#include "tst_collect_amount.moc"

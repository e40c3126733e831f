// The payment-code window when a charge's outcome is unknown: it checks the store's transactions instead of inviting
// a second charge, offers what fits, and completes the sale as a reply would have.
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "payments/chargecheck.h"
#include "payments/journal.h"
#include "collect/formcs.h"
#include "core/chargeservice.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "collect/ticketctl.h"
#include "collect/ticketform.h"
#include "receipts/printhtmlreceipt.h"
#include "screens.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QLabel>
#include <QJsonDocument>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QListWidget>
#include <QtTest>
#include <sqlite3.h>

using namespace testsupport;

namespace {

QByteArray listingWith(const QJsonArray& rows) {
    return QJsonDocument(QJsonObject{{"code", 1}, {"content", QJsonObject{{"code", 1}, {"listpay", rows}}}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject paidRow(const QString& orderNo, const QString& channel = "微信") {
    return QJsonObject{{"trade_no", "T-" + orderNo},
                       {"out_trade_no", orderNo},
                       {"money", "1250"},
                       {"pay_channel", channel},
                       {"finalinfo", "支付成功"},
                       {"pay_date", QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss")},
                       {"shopname", "岚舟演示商户西湖店"},
                       {"shopid", "7"}};
}

chargecheck::Timing quickTiming() {
    chargecheck::Timing t;
    t.chargeTimeoutMs = 300;
    t.intervalMs = 100;
    t.durationMs = 1500;
    t.listTimeoutMs = 1000;
    return t;
}

// The amount page with 12.50 keyed and its payment-code window open, signed in to store 7.
struct Sale {
    explicit Sale(GatewayFixture& f) {
        till().session().setLoginInfo(LoginInfo{"tk-1", "42", QString(), "张三", QString()});
        till().session().setCurrentShop(Shop{QStringLiteral("7"), QStringLiteral("岚舟"), QStringLiteral("西湖店")});
        till().settings().setGatewayUrl(f.stub.url());
        page = new FormSaoMaShouKuan(till(), &host);
        page->setAmountText("12.50");
        page->startCollect();
        cs = page->paymentWindow();
        cs->setCheckTiming(quickTiming());
    }
    // A window that checked no longer belongs to the page: it goes with the test, so no popup outlives it.
    ~Sale() {
        for (FormCS* w : visibleTopLevels<FormCS>()) {
            delete w;
        }
        delete cs;
    }
    void scan(const QString& code) {
        QTest::keyClicks(cs, code);
        QTest::keyClick(cs, Qt::Key_Return);
    }
    QWidget host;
    FormSaoMaShouKuan* page = nullptr;
    QPointer<FormCS> cs;
};

// A charge that is never answered in time, and listings built by `listing` (called with the listing's number).
void answerCharge(GatewayFixture& f, std::function<QByteArray(int)> listing) {
    auto listings = std::make_shared<std::atomic<int>>(0);
    f.stub.setHandler([listings, listing](const QByteArray& body) {
        if (actionOf(body).endsWith("scanpay")) {
            return StubGateway::Response{200, R"({"content":{"msg":"成功"}})", 900};
        }
        if (actionOf(body) == "Account.Pay.listPay") {
            return StubGateway::Response{200, listing(++*listings), 0};
        }
        return StubGateway::Response{200, R"({"content":{"msg":"成功"}})", 0};
    });
}

}  // namespace

class TestChargeCheckWindow : public QObject {
    Q_OBJECT

private slots:
    // Each test ends its windows itself; none may be left to take the next test's replies (each test has a till of
    // its own, whose charges are its own).
    void cleanup() { QCOMPARE(endSaleWindows(), 0); }
    void confirmedCandidateCompletesTheSale();
    void declinedCandidateThenNothingFound();
    void stoppingWarnsAndAllowsANewScan();
    void saleAlreadyCompletedIsNotOffered();
    void closedWindowComesBackToCheck();
    void ticketSaleConfirmedListsItsTickets();
    void unknownOutcomes_data();
    void unknownOutcomes();
    void refusedConnectionIsAPlainFailure();
    void chargeOfAnEarlierRunIsCheckedFirst();
    void noJournalIsToldBeforeAScan();
    void confirmedListingShowsInResultWindow_data();
    void confirmedListingShowsInResultWindow();
    void lookBackBelongsToTheTill();
    void lostJournalRowsComeAsOneList();
};

// After a damaged journal whose open attempts could not all be read: the first charge of an amount looks around the
// lost file's last write, offers what it finds as one list, and is done with that amount once the cashier answered.
void TestChargeCheckWindow::lostJournalRowsComeAsOneList() {
    GatewayFixture f;
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(till().journal()->path()).constData(), &db), SQLITE_OK);
    const QByteArray lost = "INSERT OR REPLACE INTO meta (key, value) VALUES ('lost_since_ms', '" +
                            QByteArray::number(QDateTime::currentMSecsSinceEpoch() - 60000) + "')";
    QCOMPARE(sqlite3_exec(db, lost.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    f.stub.setHandler([](const QByteArray& body) {
        if (actionOf(body) == "Pay.Ace.scanpay") {
            return StubGateway::Response{200, R"({"content":{"msg":"成功"}})", 0};
        }
        return StubGateway::Response{200, listingWith({paidRow("LOST1"), paidRow("LOST2")}), 0};
    });
    // The list is a dialog of its own loop: it is answered from a timer, as a cashier would, while it is up.
    int rows = -1;
    int charged = -1;
    bool returnIgnored = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* list = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!list || list->objectName() != "lostLookBackList") {
            return;
        }
        answer.stop();
        rows = list->findChild<QListWidget*>("candidateList")->count();
        charged = f.stub.countOf("Pay.Ace.scanpay");
        // Return chooses nothing; only a click on 都不是 sends the charge.
        QTest::keyClick(list, Qt::Key_Return);
        returnIgnored = list->isVisible();
        QTest::mouseClick(list->findChild<QPushButton*>("btnNoneOfThem"), Qt::LeftButton);
    });
    answer.start(50);
    Sale sale(f);
    sale.scan("130000000000000001");
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(rows, 2);
    QCOMPARE(charged, 0);
    QVERIFY(returnIgnored);
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
    closeResultWindows();
    QVERIFY(!till().journal()->lookBackSince(1250));
}

void TestChargeCheckWindow::lookBackBelongsToTheTill() {
    GatewayFixture f;
    auto charges = std::make_shared<std::atomic<int>>(0);
    f.stub.setHandler([charges](const QByteArray& body) {
        if (actionOf(body) == "Pay.Ace.scanpay") {
            return StubGateway::Response{
                200, ++*charges == 1 ? R"({"content":{"msg":"余额不足"}})" : R"({"content":{"msg":"成功"}})", 0};
        }
        return StubGateway::Response{200, listingWith({paidRow("EARLIER")}), 0};
    });
    Sale sale(f);
    sale.scan("130000000000009999");
    QVERIFY(f.boxes.waitForBoxes(1));  // the refusal
    // The window is closed and 收款 pressed again for the same customer: a new window, the same till.
    QTest::keyClick(sale.cs, Qt::Key_Escape);
    QTRY_VERIFY(sale.cs.isNull());
    sale.page->startCollect();
    QPointer<FormCS> again = sale.page->paymentWindow();
    QVERIFY(again && again != sale.cs);
    f.boxes.queueAnswers({QMessageBox::Cancel});  // Esc: decided later
    QTest::keyClicks(again, "130000000000000001");
    QTest::keyClick(again, Qt::Key_Return);
    QVERIFY(f.boxes.waitForBoxes(2));
    // Asked before anything is sent, and neither answer is Return's.
    QCOMPARE(f.boxes.last().icon, QMessageBox::Question);
    QCOMPARE(f.boxes.last().defaultButton, QMessageBox::NoButton);
    QCOMPARE(f.boxes.last().clickOnly, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(f.boxes.last().text.contains("EARLIER"));
    // The earlier scan it may be the payment of, with its own code, beside the listed time.
    QVERIFY2(f.boxes.last().text.contains("之前一次扫码") && f.boxes.last().text.contains("****9999"),
             qPrintable(f.boxes.last().text));
    QVERIFY(!f.boxes.last().text.contains("****0001"));
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
    QCOMPARE(again->controller()->phase(), ChargeController::Phase::LookingBack);
    // 处理 asks again; 不是 (on purpose) sends the charge.
    f.boxes.queueAnswers({QMessageBox::No});
    QTest::mouseClick(again->findChild<QPushButton*>("btnStopCheck"), Qt::LeftButton);
    QVERIFY(f.boxes.waitForBoxes(3));
    QVERIFY(f.boxes.last().text.contains("EARLIER"));
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 2);
    QCOMPARE(f.stub.countOf("Account.Pay.listPay"), 1);
    closeResultWindows();
    // The 不是 is the till's: the next sale of the amount looks again but is not asked about the same row.
    sale.page->setAmountText("12.50");
    sale.page->startCollect();
    QPointer<FormCS> third = sale.page->paymentWindow();
    QVERIFY(third);
    QTest::keyClicks(third, "130000000000000002");
    QTest::keyClick(third, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    QCOMPARE(f.boxes.count(), 3);
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 3);
    closeResultWindows();
}

void TestChargeCheckWindow::confirmedCandidateCompletesTheSale() {
    GatewayFixture f;
    till().settings().setPrinterName("CashierCapture");
    QStringList receipts;
    till().receipts().setSink([&](const QString& html) { receipts.append(html); });
    // The gateway records the charge while the window is already checking.
    answerCharge(f, [](int n) { return listingWith(n < 3 ? QJsonArray{} : QJsonArray{paidRow("ORD8888")}); });
    f.boxes.setAnswer(QMessageBox::Yes);
    Sale sale(f);
    sale.scan("130000000000008888");
    QVERIFY(QTest::qWaitFor([&] { return sale.cs && sale.cs->isChecking(); }, 3000));
    QVERIFY(sale.cs->isVisible());
    QVERIFY(sale.cs->findChild<QPushButton*>("btnStopCheck")->isVisible());
    // Nothing typed while checking starts a charge.
    sale.scan("130000000000008888");
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    till().receipts().setSink({});

    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= 3);
    QCOMPARE(f.boxes.count(), 1);
    QCOMPARE(f.boxes.last().icon, QMessageBox::Question);
    // Return answers 不是; only a click says 是本次收款.
    QCOMPARE(f.boxes.last().defaultButton, QMessageBox::No);
    QCOMPARE(f.boxes.last().clickOnly, QMessageBox::StandardButtons(QMessageBox::Yes));
    QVERIFY(f.boxes.last().text.contains("ORD8888"));
    QVERIFY(f.boxes.last().text.contains("12.50"));
    FormTradeInfo* info = resultWindows().first();
    QCOMPARE(labelText(*info, "label_sys_order"), QString("ORD8888"));
    QCOMPARE(labelText(*info, "label_operate"), QString("张三"));
    QCOMPARE(labelText(*info, "label_money"), QString("12.50"));
    QCOMPARE(sale.page->fieldText(), QString());
    QVERIFY(QTest::qWaitFor([&] { return sale.cs.isNull(); }, 2000));
    QCOMPARE(receipts.size(), 1);
    QVERIFY(receipts.first().contains("ORD8888"));
    QVERIFY(f.stub.waitForBodies(f.stub.countOf("Pay.Ace.scanpay") + f.stub.countOf("Account.Pay.listPay") + 1));
    QCOMPARE(f.stub.bodies().last(), QByteArray("version=3.0&action=Account.Print.doprint&token=tk-1&no=ORD8888&"));

    // Each listing asks for the store, from before the charge to after now.
    const QByteArray listing = f.stub.bodies().at(1);
    QCOMPARE(actionOf(listing), QByteArray("Account.Pay.listPay"));
    QCOMPARE(formValue(listing, "shopid"), QString("7"));
    QCOMPARE(formValue(listing, "token"), QString("tk-1"));
    const QDateTime start = QDateTime::fromString(formValue(listing, "start_date"), "yyyy-M-d hh:mm:ss");
    const QDateTime end = QDateTime::fromString(formValue(listing, "end_date"), "yyyy-M-d hh:mm:ss");
    QVERIFY(start.isValid() && end.isValid());
    QVERIFY(start < QDateTime::currentDateTime().addSecs(-60));
    QVERIFY(end > QDateTime::currentDateTime().addSecs(60));
    closeResultWindows();
}

void TestChargeCheckWindow::declinedCandidateThenNothingFound() {
    GatewayFixture f;
    answerCharge(f, [](int) { return listingWith(QJsonArray{paidRow("OTHER")}); });
    f.boxes.setAnswer(QMessageBox::No);
    f.boxes.queueAnswers({QMessageBox::Cancel});  // 稍后处理 when the check ends
    Sale sale(f);
    sale.scan("130000000000008888");
    QVERIFY(f.boxes.waitForBoxes(2, 5000));
    // Asked once about that transaction; the check went on, found nothing else, and the charge stays unresolved.
    QCOMPARE(f.boxes.boxes().at(0).icon, QMessageBox::Question);
    QCOMPARE(f.boxes.boxes().at(1).icon, QMessageBox::Warning);
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= 2);
    QVERIFY(sale.cs && sale.cs->isVisible());
    QCOMPARE(sale.cs->controller()->phase(), ChargeController::Phase::Unresolved);
    QVERIFY(resultWindows().isEmpty());
    QCOMPARE(sale.page->fieldText(), QString("12.50"));
    // No new charge while it is unresolved.
    sale.scan("130000000000000001");
    QCOMPARE(sale.cs->controller()->phase(), ChargeController::Phase::Unresolved);
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
    // Only the cashier's explicit release (客户未付款, then 确认未付款) lets the sale be charged again; the next scan
    // first looks for the earlier attempt (the same transaction is offered again and declined).
    f.boxes.queueAnswers({QMessageBox::Discard, QMessageBox::Yes});
    QTest::mouseClick(sale.cs->findChild<QPushButton*>("btnStopCheck"), Qt::LeftButton);
    QCOMPARE(sale.cs->controller()->phase(), ChargeController::Phase::Ready);
    const QList<journal::Attempt> attempts = till().journal()->ofSale(sale.cs->controller()->saleId());
    QCOMPARE(attempts.size(), 1);
    QCOMPARE(attempts.first().state, journal::State::Released);
    QCOMPARE(attempts.first().releasedBy, QString("42"));
    sale.scan("130000000000000001");
    QVERIFY(QTest::qWaitFor([&] { return f.stub.countOf("Pay.Ace.scanpay") == 2; }, 3000));
    const QList<QByteArray> bodies = f.stub.bodies();
    QCOMPARE(actionOf(bodies.at(bodies.size() - 2)), QByteArray("Account.Pay.listPay"));
}

void TestChargeCheckWindow::stoppingWarnsAndAllowsANewScan() {
    GatewayFixture f;
    answerCharge(f, [](int) { return listingWith({}); });
    Sale sale(f);
    chargecheck::Timing t = quickTiming();
    t.durationMs = 60000;
    sale.cs->setCheckTiming(t);
    sale.scan("130000000000008888");
    QVERIFY(QTest::qWaitFor([&] { return sale.cs && sale.cs->isChecking(); }, 3000));
    const QString checkingText = sale.cs->statusText();
    // Closed (Esc, a click beside the popup) while checking: it hides, the check goes on, and 收款 brings back the
    // same window instead of a second one.
    QTest::keyClick(sale.cs, Qt::Key_Escape);
    QVERIFY(sale.cs && !sale.cs->isVisible());
    sale.page->startCollect();
    QCOMPARE(visibleTopLevels<FormCS>(), QList<FormCS*>{sale.cs.data()});
    QCOMPARE(sale.page->paymentWindow(), sale.cs.data());
    f.boxes.queueAnswers({QMessageBox::Cancel});
    QTest::mouseClick(sale.cs->findChild<QPushButton*>("btnStopCheck"), Qt::LeftButton);
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);
    QVERIFY(f.boxes.last().text.contains("交易查询"));
    QCOMPARE(sale.cs->controller()->phase(), ChargeController::Phase::Unresolved);
    QVERIFY(sale.cs->statusText() != checkingText);
    // No listing goes out after the stop (one already on its way may still arrive), and no new charge.
    QTRY_VERIFY(sale.cs->controller()->listingsSent() > 0);
    const int listings = sale.cs->controller()->listingsSent();
    QVERIFY(f.stub.waitForAnswers());
    QVERIFY(f.stub.roundTrip());  // the listing on its way at the stop has arrived, and its answer come back
    QVERIFY(waitPast(sale.cs->controller()->timing().intervalMs * 2));  // a next listing would have been due
    QCOMPARE(sale.cs->controller()->listingsSent(), listings);
    QCOMPARE(f.stub.countOf("Account.Pay.listPay"), listings);
    sale.scan("130000000000000001");
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
}

void TestChargeCheckWindow::saleAlreadyCompletedIsNotOffered() {
    GatewayFixture f;
    // The first sale of 12.50 is answered; the second, of the same amount, is not, and only the first is listed.
    auto charges = std::make_shared<std::atomic<int>>(0);
    f.stub.setHandler([charges](const QByteArray& body) {
        if (actionOf(body) == "Pay.Ace.scanpay") {
            if (++*charges == 1) {
                return StubGateway::Response{200, R"({"content":{"msg":"成功","out_trade_no":"FIRST",
                    "pay_channel":"WECHAT","money":"1250"}})",
                                             0};
            }
            return StubGateway::Response{200, "", 900};
        }
        return StubGateway::Response{200, listingWith({paidRow("FIRST")}), 0};
    });
    Sale first(f);
    first.scan("130000000000000001");
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    closeResultWindows();
    first.page->setAmountText("12.50");
    first.page->startCollect();
    QPointer<FormCS> cs = first.page->paymentWindow();
    QVERIFY(cs);
    cs->setCheckTiming(quickTiming());
    f.boxes.queueAnswers({QMessageBox::Cancel});
    QTest::keyClicks(cs, "130000000000008888");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(f.boxes.waitForBoxes(1, 5000));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);  // never offered: the journal holds FIRST as paid
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= 1);
    QVERIFY(resultWindows().isEmpty());
}

void TestChargeCheckWindow::closedWindowComesBackToCheck() {
    GatewayFixture f;
    answerCharge(f, [](int) { return listingWith({}); });
    f.boxes.queueAnswers({QMessageBox::Cancel});
    Sale sale(f);
    sale.scan("130000000000008888");
    QTest::keyClick(sale.cs, Qt::Key_Escape);  // closed while the charge is on its way
    QVERIFY(sale.cs && !sale.cs->isVisible());
    // Pressing 收款 meanwhile brings back the same window, showing the charge in progress; no second charge.
    sale.page->startCollect();
    QVERIFY(sale.cs->isVisible() && sale.cs->isCharging());
    QCOMPARE(visibleTopLevels<FormCS>().size(), 1);
    sale.cs->hide();
    // The outcome is unknown: the window comes back and checks, so the cashier is not left to charge again.
    QVERIFY(QTest::qWaitFor([&] { return sale.cs && sale.cs->isChecking(); }, 3000));
    QVERIFY(f.boxes.waitForBoxes(1, 5000));
    QVERIFY(sale.cs->isVisible());
    QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
}

void TestChargeCheckWindow::ticketSaleConfirmedListsItsTickets() {
    GatewayFixture f;
    till().session().setTicketTypes(
        {TicketType{QStringLiteral("成人票"), 2000, 3}, TicketType{QStringLiteral("儿童票"), 1250, 7}});
    till().session().setLoginInfo(LoginInfo{"tk-1", "42", QString(), "张三", QString()});
    till().session().setCurrentShop(Shop{QStringLiteral("7"), QString(), QString()});
    till().settings().setGatewayUrl(f.stub.url());
    answerCharge(f, [](int) {
        QJsonObject row = paidRow("TK9", "支付宝");
        row.insert("money", "5250");
        return listingWith({row});
    });
    f.boxes.setAnswer(QMessageBox::Yes);
    QWidget host;
    TicketForm page(till(), &host);
    QPointer<FormCS> cs = sellTwoAndOne(page);
    QVERIFY(cs);
    cs->setCheckTiming(quickTiming());
    QTest::keyClicks(cs, "130000000000008888");
    QTest::keyClick(cs, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
    FormTradeInfo* info = resultWindows().first();
    QCOMPARE(labelText(*info, "label_pay_way"), QString("支付宝"));
    QCOMPARE(labelText(*info, "label_money"), QString("52.50"));
    QStringList tickets;
    for (QLabel* l : ticketLabels(*info)) {
        tickets << l->text();
    }
    QCOMPARE(tickets, (QStringList{"成人票(20元)", "成人票(20元)", "儿童票(12.5元)"}));
    QCOMPARE(page.totalFen(), qint64(0));
    QCOMPARE(f.stub.countOf("Pay.Ace.ticketscanpay"), 1);
    closeResultWindows();
}

void TestChargeCheckWindow::unknownOutcomes_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("chargeReply");
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<int>("minListings");
    // The gateway may have charged and then failed to answer properly: looked up, never reported as a plain failure,
    // and unresolved when nothing is found.
    QTest::newRow("not JSON") << 200 << QByteArray("<html>oops</html>") << listingWith({}) << 1;
    QTest::newRow("cut short") << 200 << QByteArray(R"({"content":{"msg":"成)") << listingWith({}) << 1;
    QTest::newRow("HTTP 502") << 502 << QByteArray("Bad Gateway") << listingWith({}) << 1;
    QTest::newRow("msg not a string") << 200 << QByteArray(R"({"content":{"msg":1}})") << listingWith({}) << 1;
    QTest::newRow("no msg") << 200 << QByteArray(R"({"content":{"out_trade_no":"X"}})") << listingWith({}) << 1;
    QTest::newRow("no content") << 200 << QByteArray(R"({"code":0})") << listingWith({}) << 1;
    // A failed listing says nothing about the charge: it is tried again until the check ends.
    QTest::newRow("listing fails") << 200 << QByteArray("<html>oops</html>") << QByteArray("<html>down</html>") << 2;
    QTest::newRow("listing refused") << 200 << QByteArray("<html>oops</html>")
                                     << QByteArray(R"({"code":2,"content":{"msg":"请重新登录"}})") << 2;
}

void TestChargeCheckWindow::unknownOutcomes() {
    QFETCH(int, status);
    QFETCH(QByteArray, chargeReply);
    QFETCH(QByteArray, listing);
    QFETCH(int, minListings);
    GatewayFixture f;
    f.stub.setHandler([=](const QByteArray& body) {
        return actionOf(body) == "Pay.Ace.scanpay" ? StubGateway::Response{status, chargeReply, 0}
                                                   : StubGateway::Response{200, listing, 0};
    });
    f.boxes.queueAnswers({QMessageBox::Cancel});
    Sale sale(f);
    sale.scan("280000000000000001");
    QVERIFY(f.boxes.waitForBoxes(1, 5000));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= minListings);
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 1);
    QCOMPARE(sale.cs->controller()->phase(), ChargeController::Phase::Unresolved);
    QCOMPARE(sale.page->fieldText(), QString("12.50"));
    // The journal holds it as unresolved: no charge may go out, in this window or another.
    QString why;
    QVERIFY(!ChargeController::mayStartCharge(till().paymentContext(), &why));
    const QList<journal::Attempt> open = till().journal()->open("7");  // (the rule itself reads every store)
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first().maskedCode, QString("****0001"));
}

void TestChargeCheckWindow::refusedConnectionIsAPlainFailure() {
    GatewayFixture f;
    Sale sale(f);
    // A port nobody listens on: the charge never reached the gateway, so no money moved.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    till().settings().setGatewayUrl(QString("http://127.0.0.1:%1/api.php/Gateway/index").arg(port));
    sale.scan("280000000000000001");
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(f.boxes.last().text, QString("客户尚未输入密码或网络异常！请查看本机网络或者重新收款！"));
    QVERIFY(sale.cs && !sale.cs->isChecking());
}

void TestChargeCheckWindow::chargeOfAnEarlierRunIsCheckedFirst() {
    GatewayFixture f;
    till().session().setLoginInfo(LoginInfo{"tk-1", "42", "demo", "张三", QString()});
    till().session().setCurrentShop(Shop{"7", "岚舟", "西湖店"});
    till().settings().setGatewayUrl(f.stub.url());
    f.stub.setHandler([](const QByteArray&) { return StubGateway::Response{200, listingWith({}), 0}; });
    // A ticket sale the last run sent and never heard of again.
    journal::Attempt left;
    left.saleId = "earlier-run";
    left.kind = journal::Kind::TicketCharge;
    left.fen = 1250;
    left.shopId = "9";  // killed in another store: it blocks this one all the same, and is looked up in its own
    left.cashierId = "42";
    left.maskedCode = "****8888";
    QVERIFY(till().journal()->begin(left, nullptr).has_value());
    QString why;
    QVERIFY(!ChargeController::mayStartCharge(till().paymentContext(), &why));

    // Brought back before anything else, and looked up; nothing found: the cashier releases it, which ends that
    // sale's window without a charge (its tickets are gone with the earlier run).
    f.boxes.queueAnswers({QMessageBox::Discard, QMessageBox::Yes});
    QVERIFY(FormCS::bringBackOpenCharge(till()));
    QPointer<FormCS> cs = FormCS::inProgress(till());
    QVERIFY(cs && cs->isVisible() && cs->controller()->resumed());
    cs->setCheckTiming(quickTiming());  // from the next listing on
    QTRY_VERIFY_WITH_TIMEOUT(cs.isNull() || !cs->isVisible(), 10000);
    QCOMPARE(f.stub.countOf("Pay.Ace.ticketscanpay") + f.stub.countOf("Pay.Ace.scanpay"), 0);
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= 1);
    QCOMPARE(formValue(f.stub.bodiesOf("Account.Pay.listPay").first(), "shopid"), QString("9"));
    QVERIFY(ChargeController::mayStartCharge(till().paymentContext(), &why));
    QCOMPARE(till().journal()->ofSale("earlier-run").first().state, journal::State::Released);
}

void TestChargeCheckWindow::noJournalIsToldBeforeAScan() {
    GatewayFixture f;
    till().session().setLoginInfo(LoginInfo{"tk-1", "42", QString(), "张三", QString()});
    till().session().setCurrentShop(Shop{QStringLiteral("7"), QStringLiteral("岚舟"), QStringLiteral("西湖店")});
    till().settings().setGatewayUrl(f.stub.url());
    // The journal could not be opened at start: no charge may go out, and the customer is not asked for a code.
    till().setJournal(nullptr);
    QWidget host;
    FormSaoMaShouKuan page(till(), &host);
    page.setAmountText("12.50");
    page.startCollect();
    QVERIFY(!page.paymentWindow());
    QCOMPARE(f.boxes.count(), 1);
    QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(f.stub.countOf("Pay.Ace.scanpay"), 0);
}

void TestChargeCheckWindow::confirmedListingShowsInResultWindow_data() {
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("payWay");
    QTest::newRow("alipay as listed") << "支付宝"
                                      << "支付宝";
    QTest::newRow("wechat as listed") << "微信"
                                      << "微信";
    QTest::newRow("alipay as a code") << "ALIPAY"
                                      << "支付宝";
}

void TestChargeCheckWindow::confirmedListingShowsInResultWindow() {
    QFETCH(QString, channel);
    QFETCH(QString, payWay);
    TempWorkDir dir;
    const QDateTime sent = QDateTime::currentDateTime();
    const QList<chargecheck::Candidate> found =
        chargecheck::candidates(chargecheck::Charge{1250, "7", sent}, {replies::orderOf(paidRow("ORD1", channel))},
                                chargecheck::paymentWindow(sent, chargecheck::Timing()));
    QCOMPARE(found.size(), 1);
    FormTradeInfo info(till().receipts(), chargecheck::tradeContent(found.first(), "张三", "本店"));
    // The listing sends the amount as text whatever the channel; the result window still shows it.
    QCOMPARE(labelText(info, "label_pay_way"), payWay);
    QCOMPARE(labelText(info, "label_money"), QString("12.50"));
    QCOMPARE(labelText(info, "label_sys_order"), QString("ORD1"));
    QCOMPARE(labelText(info, "label_operate"), QString("张三"));
}

QTEST_MAIN(TestChargeCheckWindow)
#include "tst_collect_chargecheck.moc"

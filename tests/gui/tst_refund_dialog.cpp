// The refund dialog offscreen against a stub gateway: the checks before sending, the item list, the outcomes.
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "payments/journal.h"
#include "payments/refundguard.h"
#include "receipts/printhtmlreceipt.h"
#include "refunds/refundsuredialog.h"
#include "settings/modifyredundpwddialog.h"
#include "settings/settingmain.h"
#include "screens.h"
#include "hubpages.h"
#include "testsupport.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QtTest>

using namespace testsupport;

namespace {

const QByteArray kRefunded = R"({"code":1,"msg":"退款成功","content":{"code":1}})";

// What the listing of OUT1 says it has refunded, in fen; the test changes it as the gateway would.
using Refunded = std::shared_ptr<std::atomic<qint64>>;

// Answers each action with the reply given for it: refunds with `refundReply` (after `refundDelayMs`), the order's
// listing with `refunded`.
void answer(StubGateway& stub, const QByteArray& cardsReply, const QByteArray& refundReply, int refundStatus = 200,
            Refunded refunded = std::make_shared<std::atomic<qint64>>(0), int refundDelayMs = 0) {
    stub.setHandler([=](const QByteArray& body) {
        StubGateway::Response r;
        const QString action = formValue(body, QStringLiteral("action"));
        if (action == QLatin1String("Account.Pay.cards")) {
            r.body = cardsReply;
        } else if (action == QLatin1String("Account.Pay.refund")) {
            r.status = refundStatus;
            r.body = refundReply;
            r.delayMs = refundDelayMs;
        } else if (action == QLatin1String("Account.Pay.listPay")) {
            r.body = R"({"code":1,"content":{"total_page":1,"listpay":[{"out_trade_no":"OUT1","trade_no":"GW1",)"
                     R"("money":"1250","refundfee":")" +
                     QByteArray::number(refunded->load()) + R"("}]}})";
        } else {
            r.body = R"({"code":1,"content":{"code":1,"refundquestion":""}})";
        }
        return r;
    });
}

void signIn() {
    till().session().setLoginInfo(LoginInfo{QStringLiteral("TOKEN1"), QStringLiteral("1"), QStringLiteral("demo"),
                                            QStringLiteral("张三"), QString()});
}

void switches(bool refund, bool cards, const QString& itemName = QStringLiteral("手牌")) {
    till().record().refundEnabled = refund ? 1 : 0;
    till().record().refundCardEnabled = cards ? 1 : 0;
    till().record().setItemName(itemName);
}

Order order() {
    Order o;
    o.outTradeNo = QStringLiteral("OUT1");
    o.tradeNo = QStringLiteral("GW1");
    o.fen = 1250;
    o.payChannel = QStringLiteral("支付宝");
    o.shopName = QStringLiteral("SHOP<1>");
    o.payDate = QStringLiteral("2026-12-07 10:00:00");
    o.cardNo = QStringLiteral("A01,A02,A03");
    return o;
}

struct Dialog {
    // Opens the test's hub, when it has one, as the shell's opener does.
    explicit Dialog(SettingMain* hub = nullptr)
        : dialog{till(), nullptr, "OUT1", "GW1", "1250", QStringLiteral("支付宝"), [hub](SettingsPage page) {
                     if (hub) {
                         hub->open(page);
                     }
                 }} {
        dialog.orderRow = order();
        dialog.show();
    }
    RefundSureDialog dialog;
    QLineEdit* edit(const char* name) { return dialog.findChild<QLineEdit*>(QLatin1String(name)); }
    QPushButton* button(const char* name) { return dialog.findChild<QPushButton*>(QLatin1String(name)); }
    QCheckBox* all() { return dialog.findChild<QCheckBox*>(QStringLiteral("cbkAll")); }
    void type(const QString& amount, const QString& pwd) {
        edit("txtmoney")->setText(amount);
        edit("txtpwd")->setText(pwd);
    }
};

}  // namespace

class TestRefundDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("CASHIER_TEST_CHARGE_TIMING", "interval=100,duration=1500,list=3000");
        windowstyle::applyApplicationStyle();  // the item boxes' and the state line's looks are the style sheet's
    }
    void checksInOrder_data();
    void checksInOrder();
    void onlyItemSwitchSendsEmptyItemsWithoutQuestion();
    void itemsListedAndReturnedOnesStayUnchecked();
    void listGrowsWithItems_data();
    void listGrowsWithItems();
    void itemQueryFailures_data();
    void itemQueryFailures();
    void refundedPrintsSentAmountAndCloses_data();
    void refundedPrintsSentAmountAndCloses();
    void wrongPasswordOpensChangePageFirst();
    void unknownRefundIsLookedUp_data();
    void unknownRefundIsLookedUp();
    void refundOnItsWayCannotBeAbandoned();
    void refundJudgedAgainstWhatIsRefundedNow();
};

void TestRefundDialog::checksInOrder_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent");
    QTest::newRow("password before amount") << "abc"
                                            << "" << true << "温馨提示"
                                            << "密码不能为空" << false;
    QTest::newRow("malformed amount") << "abc"
                                      << "888888" << true << "温馨提示"
                                      << "请输入正确的退款金额：大于0，最多两位小数" << false;
    QTest::newRow("amount left as shown") << ""
                                          << "888888" << true << "温馨提示"
                                          << "请输入正确的退款金额：大于0，最多两位小数" << false;
    QTest::newRow("above the order") << "12.51"
                                     << "888888" << true << "温馨提示"
                                     << "退款金额不能大于订单金额哦" << false;
    QTest::newRow("no item: question, No") << "12.50"
                                           << "888888" << false << "操作提示"
                                           << "没有选择任何手牌，要继续退款吗？" << false;
    QTest::newRow("no item: question, Yes") << "12.50"
                                            << "888888" << true << "操作提示"
                                            << "没有选择任何手牌，要继续退款吗？" << true;
}

void TestRefundDialog::checksInOrder() {
    QFETCH(QString, amount);
    QFETCH(QString, pwd);
    QFETCH(bool, answerYes);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, sent);
    GatewayFixture f;
    signIn();
    switches(true, true);
    answer(f.stub, R"({"code":1,"content":{"count":1,"cards":[{"cardno":"A01","state":"0","price":"12.5"}]}})",
           kRefunded);
    ReceiptCatcher receipts;
    Dialog d;
    QTRY_COMPARE(d.dialog.itemBoxes().size(), 1);
    d.type(amount, pwd);
    f.boxes.setAnswer(answerYes ? QMessageBox::Yes : QMessageBox::No);
    d.button("btnOk")->click();
    QVERIFY(f.boxes.count() >= 1);
    QCOMPARE(f.boxes.boxes().first().title, title);
    QCOMPARE(f.boxes.boxes().first().text, text);
    if (!sent) {
        QCOMPARE(f.boxes.count(), 1);
        QVERIFY(d.dialog.submitEnabled());
        QVERIFY(f.stub.roundTrip());
        QCOMPARE(f.stub.bodiesOf("Account.Pay.refund").size(), 0);
        return;
    }
    QCOMPARE(f.boxes.boxes().first().icon, QMessageBox::Question);
    QTRY_COMPARE(f.stub.bodiesOf("Account.Pay.refund").size(), 1);
    const QByteArray body = f.stub.bodiesOf("Account.Pay.refund").first();
    QCOMPARE(formValue(body, QStringLiteral("refundmoney")), QStringLiteral("1250"));
    QCOMPARE(formValue(body, QStringLiteral("cardno")), QString());
}

void TestRefundDialog::onlyItemSwitchSendsEmptyItemsWithoutQuestion() {
    GatewayFixture f;
    signIn();
    switches(false, true);
    answer(f.stub, R"({"code":1,"content":{"count":1,"cards":[{"cardno":"A01","state":"0","price":"5"}]}})", kRefunded);
    ReceiptCatcher receipts;
    Dialog d;
    QTRY_COMPARE(d.dialog.itemBoxes().size(), 1);
    d.type(QStringLiteral("5"), QStringLiteral("888888"));
    d.button("btnOk1")->click();  // keypad Enter's button does the same
    QTRY_COMPARE(f.stub.bodiesOf("Account.Pay.refund").size(), 1);
    const QByteArray body = f.stub.bodiesOf("Account.Pay.refund").first();
    QVERIFY(body.contains("&cardno=&"));
    QCOMPARE(formValue(body, QStringLiteral("tradeno")), QStringLiteral("OUT1"));
    QCOMPARE(formValue(body, QStringLiteral("pwd")), QStringLiteral("888888"));
    QCOMPARE(formValue(body, QStringLiteral("refundmoney")), QStringLiteral("500"));
    QTRY_COMPARE(f.boxes.count(), 1);
    QCOMPARE(f.boxes.last().text, QStringLiteral("退款成功"));  // no question came first
}

void TestRefundDialog::itemsListedAndReturnedOnesStayUnchecked() {
    GatewayFixture f;
    signIn();
    switches(true, true);
    answer(f.stub,
           R"({"code":1,"content":{"count":3,"cards":[{"cardno":"A01","state":"1","price":"4"},
              {"cardno":"A02","state":"0","price":"4"},{"cardno":"A03","state":"0","price":"4.5"}]}})",
           kRefunded);
    ReceiptCatcher receipts;
    Dialog d;
    QCOMPARE(d.all()->text(), QStringLiteral("手牌"));
    QTRY_COMPARE(d.dialog.itemBoxes().size(), 3);
    const QList<QCheckBox*> boxes = d.dialog.itemBoxes();
    QCOMPARE(boxes.at(0)->text(), QStringLiteral("A01(4元)"));
    QVERIFY(!boxes.at(0)->isEnabled());
    QVERIFY(boxes.at(1)->isEnabled());
    QCOMPARE(boxes.at(2)->y(), 65);
    QCOMPARE(boxes.at(1)->font().pointSize(), 12);

    d.all()->click();
    QVERIFY(!boxes.at(0)->isChecked());
    QVERIFY(boxes.at(1)->isChecked());
    QVERIFY(boxes.at(2)->isChecked());

    d.type(QStringLiteral("8.5"), QStringLiteral("888888"));
    d.button("btnOk")->click();
    QTRY_COMPARE(f.stub.bodiesOf("Account.Pay.refund").size(), 1);
    QCOMPARE(formValue(f.stub.bodiesOf("Account.Pay.refund").first(), QStringLiteral("cardno")),
             QStringLiteral("A02(4元),A03(4.5元),"));

    d.all()->click();  // unchecking leaves the disabled box alone too
    QVERIFY(!boxes.at(1)->isChecked());
    QVERIFY(!boxes.at(0)->isChecked());
}

void TestRefundDialog::listGrowsWithItems_data() {
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("listHeight");
    QTest::addColumn<int>("grown");
    QTest::newRow("one item") << 1 << 30 << 0;
    QTest::newRow("five items") << 5 << 120 << 90;
}

void TestRefundDialog::listGrowsWithItems() {
    QFETCH(int, items);
    QFETCH(int, listHeight);
    QFETCH(int, grown);
    GatewayFixture f;
    signIn();
    switches(true, true);
    QJsonArray cards;
    for (int i = 1; i <= items; ++i) {
        cards.append(QJsonObject{{"cardno", QStringLiteral("A0%1").arg(i)}, {"state", "0"}, {"price", "1"}});
    }
    const QJsonObject content{{"count", items}, {"cards", cards}};
    answer(f.stub, QJsonDocument(QJsonObject{{"code", 1}, {"content", content}}).toJson(), kRefunded);
    Dialog d;
    const int dialogHeight = d.dialog.height();
    auto* pwd = d.edit("txtpwd");
    const int pwdY = pwd->y();
    QTRY_COMPARE(d.dialog.itemBoxes().size(), items);
    QCOMPARE(d.dialog.findChild<QScrollArea*>(QStringLiteral("scll"))->height(), listHeight);
    QCOMPARE(d.dialog.height(), dialogHeight + grown);
    QCOMPARE(pwd->y(), pwdY + grown);
    QCOMPARE(d.button("btnOk1")->geometry().topLeft(), d.button("btnOk")->geometry().topLeft());
}

void TestRefundDialog::itemQueryFailures_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("no gateway answer") << 500 << QByteArray("oops") << "数据查询失败，请检查网络设置";
    QTest::newRow("count as text") << 200 << QByteArray(R"({"code":1,"content":{"count":"2","cards":[]}})")
                                   << "没有查到房间信息";
}

void TestRefundDialog::itemQueryFailures() {
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    GatewayFixture f;
    signIn();
    switches(true, true, QStringLiteral("房间"));
    f.stub.setReply(reply, status);
    Dialog d;
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(f.boxes.last().title, QStringLiteral("错误提示"));
    QCOMPARE(f.boxes.last().text, text);
    QVERIFY(d.dialog.itemBoxes().isEmpty());
    QVERIFY(d.dialog.submitEnabled());  // the refund itself is still possible
}

void TestRefundDialog::refundedPrintsSentAmountAndCloses_data() {
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("printed");
    QTest::newRow("printer chosen") << "CashierCapture" << true;
    QTest::newRow("no receipts") << "不打印小票" << false;
    QTest::newRow("never chosen") << "" << false;
}

void TestRefundDialog::refundedPrintsSentAmountAndCloses() {
    QFETCH(QString, printer);
    QFETCH(bool, printed);
    GatewayFixture f;
    signIn();
    switches(true, false);
    if (!printer.isEmpty()) {
        till().settings().setPrinterName(printer);
    }
    answer(f.stub, {}, kRefunded);
    ReceiptCatcher receipts;
    Dialog d;
    QVERIFY(!d.all()->isVisible());
    QCOMPARE(d.edit("txtmoney")->text(), QString());  // "0.0" is a placeholder: typing 5 reads 5
    QCOMPARE(d.edit("txtmoney")->placeholderText(), QStringLiteral("0.0"));
    d.type(QStringLiteral("5.5"), QStringLiteral("888888"));
    d.button("btnOk")->click();
    QTRY_VERIFY(!d.dialog.isVisible());
    QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.boxes.count(), 1);
    QCOMPARE(f.boxes.last().icon, QMessageBox::Information);
    QCOMPARE(f.boxes.last().text, QStringLiteral("退款成功"));
    QCOMPARE(receipts.html.size(), printed ? 1 : 0);
    // With the item switch off no item query goes out and the field is empty.
    QCOMPARE(f.stub.bodiesOf("Account.Pay.cards").size(), 0);
    QVERIFY(f.stub.bodiesOf("Account.Pay.refund").first().contains("&cardno=&"));
    if (printed) {
        const QString html = receipts.html.first();
        QVERIFY(html.contains(QStringLiteral("退款金额(RMB)：￥5.50</a>")));
        QVERIFY(html.contains(QStringLiteral("订单金额(RMB)：￥12.50</a>")));
        QVERIFY(html.contains(QStringLiteral("收款门店：SHOP&lt;1&gt;")));
        QVERIFY(html.contains(QStringLiteral("操作员：张三")));
        QVERIFY(html.contains(QStringLiteral("手牌号：A01,A02,A03")));
    }
}

void TestRefundDialog::wrongPasswordOpensChangePageFirst() {
    GatewayFixture f;
    signIn();
    switches(true, false);
    answer(f.stub, {}, R"({"code":5,"msg":"退款密码错误","content":{"code":0}})");
    SettingMain hub(till());
    Dialog d(&hub);
    d.type(QStringLiteral("1"), QStringLiteral("123456"));
    bool hubSeen = false;
    bool submitWhileHubOpen = true;
    int boxesBeforeHub = 0;
    int page = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (hub.isVisible()) {
            poll.stop();
            hubSeen = true;
            submitWhileHubOpen = d.dialog.submitEnabled();
            boxesBeforeHub = f.boxes.count();
            page = hubPageShown(hub);
            QVERIFY(qobject_cast<ModifyRedundPwdDialog*>(hub.currentPage()));
            hub.on_close_btn_clicked();
        }
    });
    poll.start(10);
    d.button("btnOk")->click();
    QTRY_VERIFY(hubSeen);
    QCOMPARE(page, 4);
    QCOMPARE(boxesBeforeHub, 1);  // the message came first
    QCOMPARE(f.boxes.last().text, QStringLiteral("退款密码错误"));
    QVERIFY(!submitWhileHubOpen);
    QTRY_VERIFY(d.dialog.submitEnabled());
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.edit("txtmoney")->text(), QStringLiteral("1"));  // typed values stay for the next try
}

void TestRefundDialog::unknownRefundIsLookedUp_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint64>("refundedAfter");  // what the order lists once the refund was sent (before: 0)
    QTest::addColumn<bool>("wentThrough");
    QTest::newRow("server error page, refunded") << 502 << QByteArray("<html>bad gateway</html>") << 100LL << true;
    QTest::newRow("in progress, refunded") << 200 << QByteArray(R"({"code":0,"msg":"退款处理中"})") << 100LL << true;
    QTest::newRow("cut JSON, not refunded yet") << 200 << QByteArray(R"({"code":1,"msg":"退款)") << 0LL << false;
    QTest::newRow("no top-level msg, another refund too")
        << 200 << QByteArray(R"({"code":1,"content":{"msg":"退款成功"}})") << 250LL << false;
}

void TestRefundDialog::unknownRefundIsLookedUp() {
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(qint64, refundedAfter);
    QFETCH(bool, wentThrough);
    GatewayFixture f;
    signIn();
    switches(true, false);
    Refunded refunded = std::make_shared<std::atomic<qint64>>(0);
    answer(f.stub, {}, reply, status, refunded);
    ReceiptCatcher receipts;
    Dialog d;
    d.type(QStringLiteral("1"), QStringLiteral("888888"));
    d.button("btnOk")->click();
    QVERIFY(f.stub.waitForBodies(2));  // the order's refunded amount read first, then the refund
    refunded->store(refundedAfter);
    QVERIFY(f.boxes.waitForBoxes(1));
    QVERIFY(f.boxes.last().text.contains(QStringLiteral("正在核对")));
    if (wentThrough) {
        QVERIFY(f.boxes.waitForBoxes(2));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Information);
        QTRY_VERIFY(!d.dialog.isVisible());
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.stub.countOf("Account.Pay.refund"), 1);
        QVERIFY(till().journal()->open(QString()).isEmpty());
        return;
    }
    // Unchanged (or moved by something else) is not an answer: looked up until the check ends, then the cashier
    // decides. Nothing is sent again meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(d.button("btnCancel")->isEnabled(), 10000);
    QVERIFY(!d.dialog.submitEnabled());
    QVERIFY(d.dialog.stateText().contains(QStringLiteral("确认前不能再退款")));
    QVERIFY(f.stub.countOf("Account.Pay.listPay") >= 2);
    d.button("btnOk")->click();
    QTest::keyClick(d.edit("txtpwd"), Qt::Key_Return);
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(f.stub.countOf("Account.Pay.refund"), 1);
    d.button("btnCancel")->click();
    QVERIFY(!d.dialog.isVisible());

    // Opened again (here or after a restart): the open refund is shown and looked up again, then released only on
    // purpose, through the confirming box.
    const int listed = f.stub.countOf("Account.Pay.listPay");
    Dialog again;
    QVERIFY(!again.dialog.submitEnabled());
    QVERIFY(f.stub.waitForBodies(f.stub.bodies().size() + 1));
    QVERIFY(f.stub.countOf("Account.Pay.listPay") > listed);
    QTRY_VERIFY_WITH_TIMEOUT(again.dialog.guard()->phase() == RefundGuard::Phase::Unresolved, 10000);
    f.boxes.queueAnswers({QMessageBox::Discard, QMessageBox::Yes});
    again.button("btnRefundResolve")->click();
    QVERIFY(again.dialog.submitEnabled());
    QCOMPARE(till().journal()->ofSale("refund:OUT1").first().state, journal::State::Released);
    QCOMPARE(till().journal()->ofSale("refund:OUT1").first().refundedBefore, std::optional<qint64>(0));
    QCOMPARE(f.stub.countOf("Account.Pay.refund"), 1);
    QCOMPARE(receipts.html.size(), 0);
}

void TestRefundDialog::refundOnItsWayCannotBeAbandoned() {
    GatewayFixture f;
    signIn();
    switches(true, false);
    Refunded refunded = std::make_shared<std::atomic<qint64>>(0);
    // The gateway answers late and unclearly, and carries the refund out later still.
    answer(f.stub, {}, "<html>", 504, refunded, 300);
    Dialog d;
    d.type(QStringLiteral("1"), QStringLiteral("888888"));
    d.button("btnOk")->click();
    QVERIFY(f.stub.waitForBodies(2));
    QVERIFY(!d.button("btnCancel")->isEnabled());
    QTest::keyClick(&d.dialog, Qt::Key_Escape);
    d.dialog.close();
    d.dialog.reject();
    QVERIFY(d.dialog.isVisible());
    QVERIFY(d.dialog.stateText().contains(QStringLiteral("不能关闭")));
    QVERIFY(f.boxes.waitForBoxes(1));  // the unclear answer
    QTRY_VERIFY(f.stub.countOf("Account.Pay.listPay") >= 3);
    QVERIFY(d.dialog.isVisible());
    refunded->store(100);
    QVERIFY(f.boxes.waitForBoxes(2));
    QTRY_VERIFY(!d.dialog.isVisible());
    QCOMPARE(f.stub.countOf("Account.Pay.refund"), 1);
}

// Two PCs refund the same order: what this one's page showed is checked against the gateway before anything goes out,
// and a refusal here is never taken as done because the sums happen to match.
void TestRefundDialog::refundJudgedAgainstWhatIsRefundedNow() {
    GatewayFixture f;
    signIn();
    switches(true, false);
    Refunded refunded = std::make_shared<std::atomic<qint64>>(0);
    auto refunds = std::make_shared<std::atomic<int>>(0);
    f.stub.setHandler([=](const QByteArray& body) {
        StubGateway::Response r;
        const QString action = formValue(body, QStringLiteral("action"));
        if (action == QLatin1String("Account.Pay.refund")) {
            r.body =
                ++*refunds == 1 ? QByteArray(R"({"code":0,"msg":"退款密码错误","content":{"code":0}})") : kRefunded;
        } else {
            r.body = R"({"code":1,"content":{"total_page":1,"listpay":[{"out_trade_no":"OUT1","trade_no":"GW1",)"
                     R"("money":"1250","refundfee":")" +
                     QByteArray::number(refunded->load()) + R"("}]}})";
        }
        return r;
    });
    Dialog d;
    d.dialog.guard()->setShown(1250, 0);
    d.type(QStringLiteral("2"), QStringLiteral("888888"));
    d.button("btnOk")->click();
    QVERIFY(f.boxes.waitForBoxes(1));  // refused: wrong password
    QCOMPARE(refunds->load(), 1);
    d.dialog.show();

    refunded->store(200);  // another PC refunds 2.00 meanwhile
    d.button("btnOk")->click();
    QVERIFY(f.boxes.waitForBoxes(2));
    QVERIFY2(f.boxes.last().text.contains("0.00") && f.boxes.last().text.contains("2.00") &&
                 f.boxes.last().text.contains("10.50"),
             qPrintable(f.boxes.last().text));
    QCOMPARE(refunds->load(), 1);

    // Asked again with the new figure: the refused refund of 2.00 would explain it, but the cashier judges, on purpose.
    f.boxes.queueAnswers({QMessageBox::Cancel});
    d.button("btnOk")->click();
    QVERIFY(f.boxes.waitForBoxes(3));
    QCOMPARE(f.boxes.last().clickOnly, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(f.boxes.last().defaultButton, QMessageBox::NoButton);
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(refunds->load(), 1);
    f.boxes.queueAnswers({QMessageBox::No});  // 仍然退这一笔
    d.button("btnOk")->click();
    QTRY_COMPARE(refunds->load(), 2);
    QVERIFY(f.boxes.waitForBoxes(5));  // its success told before the next dialog is judged

    // Above what is left (12.50 less 4.00): nothing goes out.
    refunded->store(400);
    Dialog other;
    other.dialog.guard()->setShown(1250, 400);
    other.type(QStringLiteral("9"), QStringLiteral("888888"));
    const int boxes = f.boxes.count();
    other.button("btnOk")->click();
    QVERIFY(f.boxes.waitForBoxes(boxes + 1));
    QVERIFY2(f.boxes.last().text.contains("8.50"), qPrintable(f.boxes.last().text));
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(refunds->load(), 2);
}

QTEST_MAIN(TestRefundDialog)
#include "tst_refund_dialog.moc"

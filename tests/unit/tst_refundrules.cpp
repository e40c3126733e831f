// The refund dialog's rules row by row: amount, items, list layout, reply reading, the refund receipt.
#include "receipts/receipthtml.h"
#include "gateway/replies.h"
#include "refunds/refundrules.h"

#include <QJsonDocument>
#include <QtTest>

using namespace refundrules;

namespace {

receipts::RefundReceipt sampleReceipt() {
    receipts::RefundReceipt r;
    r.shopName = QStringLiteral("岚舟演示商户西湖店");
    r.operatorName = QStringLiteral("张三");
    r.payDate = QStringLiteral("2026-12-07 10:00:00");
    r.outTradeNo = QStringLiteral("OUT123");
    r.payChannel = QStringLiteral("支付宝");
    r.orderFen = 1250;
    r.cardNo = QStringLiteral("A01,A02");
    r.refundFen = 500;
    r.tradeNo = QStringLiteral("GW456");
    r.servicePhone = QStringLiteral("400-000-0000");
    return r;
}

}  // namespace

class TestRefundRules : public QObject {
    Q_OBJECT

private slots:
    void amount_data();
    void amount();
    void items_data();
    void items();
    void cardNoField_data();
    void cardNoField();
    void listLayout_data();
    void listLayout();
    void refundReply_data();
    void refundReply();
    void receiptPieces_data();
    void receiptPieces();
    void receiptEscapesValues();
};

void TestRefundRules::amount_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("orderFen");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<bool>("aboveOrder");
    QTest::newRow("1.1 of 110 fen") << "1.1"
                                    << "110" << true << qint64(110) << false;
    QTest::newRow("1.10 of 110 fen") << "1.10"
                                     << "110" << true << qint64(110) << false;
    QTest::newRow("1.11 of 110 fen") << "1.11"
                                     << "110" << false << qint64(0) << true;
    QTest::newRow("19.99") << "19.99"
                           << "2000" << true << qint64(1999) << false;
    QTest::newRow("whole yuan") << "5"
                                << "1250" << true << qint64(500) << false;
    QTest::newRow("one fen") << "0.01"
                             << "1" << true << qint64(1) << false;
    QTest::newRow("blanks around") << " 5.00 "
                                   << "1250" << true << qint64(500) << false;
    QTest::newRow("three decimals") << "12.346"
                                    << "5000" << false << qint64(0) << false;
    QTest::newRow("three decimals, last zero") << "12.340"
                                               << "5000" << false << qint64(0) << false;
    QTest::newRow("prefilled 0.0") << "0.0"
                                   << "110" << false << qint64(0) << false;
    QTest::newRow("zero") << "0"
                          << "110" << false << qint64(0) << false;
    QTest::newRow("letters") << "abc"
                             << "110" << false << qint64(0) << false;
    QTest::newRow("negative") << "-1"
                              << "110" << false << qint64(0) << false;
    QTest::newRow("empty") << ""
                           << "110" << false << qint64(0) << false;
    QTest::newRow("comma") << "1,10"
                           << "110" << false << qint64(0) << false;
    QTest::newRow("two dots") << "1.1.1"
                              << "110" << false << qint64(0) << false;
    QTest::newRow("far too large") << "99999999999999"
                                   << "110" << false << qint64(0) << false;
    QTest::newRow("order amount unreadable") << "1"
                                             << "" << false << qint64(0) << true;
}

void TestRefundRules::amount() {
    QFETCH(QString, typed);
    QFETCH(QString, orderFen);
    QFETCH(bool, ok);
    QFETCH(qint64, fen);
    QFETCH(bool, aboveOrder);
    const AmountCheck check = checkRefundAmount(typed, orderFen);
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.fen, fen);
    if (ok) {
        QVERIFY(check.message.isEmpty());
    } else if (aboveOrder) {
        QCOMPARE(check.message, QStringLiteral("退款金额不能大于订单金额哦"));
    } else {
        // A malformed amount is told apart from one above the order.
        QVERIFY(!check.message.isEmpty());
        QVERIFY(check.message != QStringLiteral("退款金额不能大于订单金额哦"));
    }
}

void TestRefundRules::items_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<bool>>("returned");
    QTest::newRow("two, one returned") << QByteArray(R"({"count":2,"cards":[{"cardno":"A08","state":"1","price":"20"},
                                          {"cardno":"A09","state":"0","price":"12.5"}]})")
                                       << 2 << QStringList{"A08(20元)", "A09(12.5元)"} << QList<bool>{true, false};
    // The dialog then says it found nothing: a count it cannot read is no list.
    QTest::newRow("count as text is unusable")
        << QByteArray(R"({"count":"1","cards":[{"cardno":"A01","state":"0"}]})") << 0 << QStringList{} << QList<bool>{};
    QTest::newRow("whole numbers read as their digits")
        << QByteArray(R"({"count":1,"cards":[{"cardno":7,"state":1,"price":20}]})") << 1 << QStringList{"7(20元)"}
        << QList<bool>{true};
    QTest::newRow("other types read empty")
        << QByteArray(R"({"count":1,"cards":[{"cardno":[7],"state":{},"price":20.5}]})") << 1 << QStringList{"(元)"}
        << QList<bool>{false};
    QTest::newRow("count without cards") << QByteArray(R"({"count":3})") << 3 << QStringList{} << QList<bool>{};
    QTest::newRow("empty") << QByteArray("{}") << 0 << QStringList{} << QList<bool>{};
}

void TestRefundRules::items() {
    QFETCH(QByteArray, content);
    QFETCH(int, count);
    QFETCH(QStringList, texts);
    QFETCH(QList<bool>, returned);
    const replies::Read<replies::Items> read = replies::items(gateway::readReply(
        HttpFun::Ending::Answered, 200, true, QByteArray(R"({"content":)") + content + QByteArray("}")));
    const replies::Items& r = read.value;
    QCOMPARE(read.ok(), count > 0 || content.contains("\"count\":0"));
    QCOMPARE(r.count, count);
    QStringList gotTexts;
    QList<bool> gotReturned;
    for (const Item& item : r.items) {
        gotTexts << itemBoxText(item);
        gotReturned << item.returned;
    }
    QCOMPARE(gotTexts, texts);
    QCOMPARE(gotReturned, returned);
}

void TestRefundRules::cardNoField_data() {
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QString>("field");
    QTest::newRow("none") << QStringList{} << "";
    QTest::newRow("one") << QStringList{"A08(20元)"} << "A08(20元),";
    QTest::newRow("two, final comma") << QStringList{"A08(20元)", "A09(20元)"} << "A08(20元),A09(20元),";
}

void TestRefundRules::cardNoField() {
    QFETCH(QStringList, checked);
    QFETCH(QString, field);
    QCOMPARE(refundrules::cardNoField(checked), field);
}

void TestRefundRules::listLayout_data() {
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("lastY");
    QTest::addColumn<int>("contentHeight");
    QTest::addColumn<int>("listHeight");
    QTest::addColumn<int>("grow");
    QTest::newRow("none: dialog as built") << 0 << -1 << 0 << 0 << 0;
    QTest::newRow("1 item: 30 px, no growth") << 1 << 5 << 30 << 30 << 0;
    QTest::newRow("2 items") << 2 << 35 << 60 << 60 << 30;
    QTest::newRow("4 items: all visible") << 4 << 95 << 120 << 120 << 90;
    QTest::newRow("5 items: 120 px, grows 90, scrolls") << 5 << 125 << 150 << 120 << 90;
    QTest::newRow("9 items grow no further") << 9 << 245 << 270 << 120 << 90;
}

void TestRefundRules::listLayout() {
    QFETCH(int, boxes);
    QFETCH(int, lastY);
    QFETCH(int, contentHeight);
    QFETCH(int, listHeight);
    QFETCH(int, grow);
    const ItemListLayout layout = itemListLayout(boxes);
    QCOMPARE(layout.contentHeight, contentHeight);
    QCOMPARE(layout.listHeight, listHeight);
    QCOMPARE(layout.grow, grow);
    if (boxes > 0) {
        QCOMPARE(itemBoxY(boxes - 1), lastY);
    }
}

void TestRefundRules::refundReply_data() {
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("wrongPassword");
    const int done = int(replies::Outcome::Paid);
    const int refused = int(replies::Outcome::Refused);
    const int unknown = int(replies::Outcome::Unknown);
    QTest::newRow("refunded") << QByteArray(R"({"code":1,"msg":"退款成功"})") << done << false;
    // The refund's answer is read at the top: a success text only inside "content" says nothing clear.
    QTest::newRow("msg only inside content")
        << QByteArray(R"({"code":1,"content":{"msg":"退款成功"}})") << unknown << false;
    QTest::newRow("no msg at all") << QByteArray(R"({"code":1})") << unknown << false;
    QTest::newRow("refused") << QByteArray(R"({"code":0,"msg":"订单不存在"})") << refused << false;
    QTest::newRow("code 5") << QByteArray(R"({"code":5,"msg":"退款密码错误"})") << refused << true;
    QTest::newRow("code 5 as digits") << QByteArray(R"({"code":"5","msg":"退款密码错误"})") << refused << true;
    // Not the exact success text, but no refusal either: the refund may have gone through, so it is looked up.
    QTest::newRow("near miss of the success text") << QByteArray(R"({"code":1,"msg":"退款成功 "})") << unknown << false;
}

void TestRefundRules::refundReply() {
    QFETCH(QByteArray, root);
    QFETCH(int, outcome);
    QFETCH(bool, wrongPassword);
    const replies::RefundResult r = replies::refund(gateway::readReply(HttpFun::Ending::Answered, 200, true, root));
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.wrongPassword, wrongPassword);
}

void TestRefundRules::receiptPieces_data() {
    QTest::addColumn<QStringList>("pieces");
    const QString nb = QStringLiteral("&nbsp;");
    QTest::newRow("heading") << QStringList{
        "<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> <a "
        "style='font-family:微软雅黑;font-size:23px;'>" +
            nb.repeated(15) + "移动收银台(重打印)-退款</a>",
        "<a style='font-family:微软雅黑;font-size:23px;'>商户存根" + nb.repeated(15) + "SHOP" + nb.repeated(5) +
            "COPY</a>"};
    QTest::newRow("order values in order") << QStringList{"收款门店：岚舟演示商户西湖店</a>",
                                                          "操作员：张三</a>",
                                                          "交易时间：2026-12-07 10:00:00</a>",
                                                          "系统单号：OUT123</a>",
                                                          "支付方式：支付宝</a>",
                                                          "font-size:30px;'>订单金额(RMB)：￥12.50</a>",
                                                          "手牌号：A01,A02</a>",
                                                          "font-size:30px;'>退款金额(RMB)：￥5.00</a>",
                                                          "交易订单号：</a>",
                                                          "GW456</a>",
                                                          "持卡人签名(CARDHOLDER SIGNATURE)",
                                                          "本人确认以上交易，同意将其计入交易账户</a>",
                                                          "客服电话：400-000-0000</a></html>"};
}

void TestRefundRules::receiptPieces() {
    QFETCH(QStringList, pieces);
    const QString html = receipts::refundReceiptHtml(sampleReceipt());
    QVERIFY(html.startsWith(QStringLiteral("<html>")));
    int from = 0;
    for (const QString& piece : pieces) {
        const int at = html.indexOf(piece, from);
        QVERIFY2(at >= 0, qPrintable(piece));
        from = at + piece.size();
    }
    // Four separator rules, all of 25 dashes.
    QCOMPARE(html.count(receipts::separatorHtml(25)), 4);
}

void TestRefundRules::receiptEscapesValues() {
    receipts::RefundReceipt r = sampleReceipt();
    r.shopName = QStringLiteral("<b>店</b>");
    r.cardNo = QStringLiteral("A01&A02");
    r.refundFen = 1235;  // what was sent for a typed amount, never the typed text
    const QString html = receipts::refundReceiptHtml(r);
    QVERIFY(html.contains(QStringLiteral("收款门店：&lt;b&gt;店&lt;/b&gt;</a>")));
    QVERIFY(html.contains(QStringLiteral("手牌号：A01&amp;A02</a>")));
    QVERIFY(html.contains(QStringLiteral("退款金额(RMB)：￥12.35</a>")));
}

QTEST_GUILESS_MAIN(TestRefundRules)
#include "tst_refundrules.moc"

#include "transactions/exportlogic.h"
#include "transactions/querylogic.h"

#include <QJsonDocument>
#include <QtTest>

using namespace transactions;

Q_DECLARE_METATYPE(QVector<LabelSlot>)

namespace {
gateway::Reply envelope(const QByteArray& root) {
    return gateway::readReply(HttpFun::Ending::Answered, 200, true, root);
}
}  // namespace

class TestTransactionQuery : public QObject {
    Q_OBJECT

private slots:
    void summaryLabels_data();
    void summaryLabels();
    void cellTexts_data();
    void cellTexts();
    void refundButton_data();
    void refundButton();
    void replyFailure_data();
    void replyFailure();
    void paging_data();
    void paging();
    void currentPageLabel_data();
    void currentPageLabel();
    void summaryLabelPlaces_data();
    void summaryLabelPlaces();
    void csvField_data();
    void csvField();
    void csvRow_data();
    void csvRow();
};

void TestTransactionQuery::summaryLabels_data() {
    QTest::addColumn<QByteArray>("content");
    // wechat num/money, alipay num/money, jd num/money, yl num/money, total num/sum/refund, then the page count
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("totalPage");
    QTest::newRow("every channel")
        << QByteArray(R"({"total_wx":"3","wechat_tfee":"1250","total_al":"2","alipay_tfee":"100",
                          "jdpay_tnum":"1","jdpay_tfee":"1","swipingcard_tnum":"4","total_pos":"7",
                          "swipingcard_tfee":"123456","total_count":"10","total_fee":"1234567",
                          "total_rfee":"0","total_page":3})")
        << QStringList{"3", "12.5", "2", "1", "1", "0.01", "7", "1234.56", "10", "12345.67", "0"} << 3;
    QTest::newRow("empty jd count reads 0, empty card count hides total_pos")
        << QByteArray(R"({"jdpay_tnum":"","swipingcard_tnum":"","total_pos":"7","total_page":1})")
        << QStringList{"", "", "", "", "0", "", "0", "", "", "", ""} << 1;
    QTest::newRow("card count present but total_pos missing")
        << QByteArray(R"({"swipingcard_tnum":"2","total_page":1})")
        << QStringList{"", "", "", "", "0", "", "", "", "", "", ""} << 1;
    QTest::newRow("amounts exact beyond six digits")
        << QByteArray(R"({"total_fee":"98765432101","total_rfee":"1234567","wechat_tfee":"1000000000",
                          "total_page":1})")
        << QStringList{"", "10000000", "", "", "0", "", "0", "", "", "987654321.01", "12345.67"} << 1;
    QTest::newRow("money sent as numbers still shown")
        << QByteArray(R"({"total_fee":2550,"alipay_tfee":2550,"total_page":1})")
        << QStringList{"", "", "", "25.5", "0", "", "0", "", "", "25.5", ""} << 1;
    // An amount that is not fen is not known: shown empty, never as 0.
    QTest::newRow("counts typed as numbers read as digits, page count as text reads 0")
        << QByteArray(R"({"total_wx":3,"total_count":3,"total_fee":"abc","total_page":"3"})")
        << QStringList{"3", "", "", "", "0", "", "0", "", "3", "", ""} << 0;
    QTest::newRow("no content at all") << QByteArray("{}") << QStringList{"", "", "", "", "0", "", "0", "", "", "", ""}
                                       << 0;
}

void TestTransactionQuery::summaryLabels() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, labels);
    QFETCH(int, totalPage);
    const replies::Read<replies::ListingPage> page =
        replies::listing(envelope(QByteArray(R"({"content":)") + content + QByteArray("}")));
    QVERIFY(page.ok());
    const Summary s = summaryOf(page.value);
    const QStringList shown{s.wechat_num, s.wechat_money, s.apliy_num, s.apliy_money, s.jd_num,    s.jd_money,
                            s.yl_num,     s.yl_money,     s.total_num, s.sk_total,    s.total_rfee};
    QCOMPARE(shown, labels);
    QCOMPARE(s.totalPage, totalPage);
}

void TestTransactionQuery::cellTexts_data() {
    QTest::addColumn<QByteArray>("order");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("one fen, empty refund")
        << QByteArray(R"({"trade_no":"T1","money":"1","refundfee":"","pay_channel":"微信","finalinfo":"支付成功",
                          "pay_date":"2026-12-07 08:00:00"})")
        << QStringList{"T1", "0.01", "", "微信", "支付成功", "2026-12-07 08:00:00"};
    QTest::newRow("seven digits exact")
        << QByteArray(R"({"trade_no":"T2","money":"1234567","refundfee":"1234567","finalinfo":"已退款,交易关闭"})")
        << QStringList{"T2", "12345.67", "12345.67", "", "已退款,交易关闭", ""};
    QTest::newRow("trailing zeros dropped in the amount, kept in the refund")
        << QByteArray(R"({"money":"1250","refundfee":"1250"})") << QStringList{"", "12.5", "12.50", "", "", ""};
    QTest::newRow("whole yuan") << QByteArray(R"({"money":"100","refundfee":"100"})")
                                << QStringList{"", "1", "1.00", "", "", ""};
    QTest::newRow("missing keys") << QByteArray("{}") << QStringList{"", "", "", "", "", ""};
    QTest::newRow("malformed money is not known")
        << QByteArray(R"({"money":"12.5x","refundfee":"-"})") << QStringList{"", "", "", "", "", ""};
    // Numbers beyond 64 bits: converting them used to be undefined (a garbage amount on the page).
    QTest::newRow("numbers no amount can be are not known")
        << QByteArray(R"({"money":1e300,"refundfee":-92233720368547758081})") << QStringList{"", "", "", "", "", ""};
    QTest::newRow("money as a number") << QByteArray(R"({"money":1250,"refundfee":0})")
                                       << QStringList{"", "12.5", "0.00", "", "", ""};
}

void TestTransactionQuery::cellTexts() {
    QFETCH(QByteArray, order);
    QFETCH(QStringList, cells);
    const RowCells r = rowCells(replies::orderOf(QJsonDocument::fromJson(order).object()));
    QCOMPARE((QStringList{r.tradeNo, r.money, r.refund, r.channel, r.status, r.payDate}), cells);
}

void TestTransactionQuery::refundButton_data() {
    QTest::addColumn<QString>("finalinfo");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const int refund = int(RefundButton::Refund);
    const int refunded = int(RefundButton::Refunded);
    const int card = int(RefundButton::NotSupported);
    QTest::newRow("paid wallet") << "支付成功"
                                 << "微信" << refund << "退款";
    QTest::newRow("partly refunded wallet") << "部分退款"
                                            << "支付宝" << refund << "退款";
    QTest::newRow("refund succeeded") << "退款成功"
                                      << "支付宝" << refunded << "已退款";
    QTest::newRow("refunded and closed") << "已退款,交易关闭"
                                         << "微信" << refunded << "已退款";
    QTest::newRow("card payment") << "支付成功"
                                  << "刷卡" << card << "暂不支持";
    QTest::newRow("refunded card payment: the status comes first") << "退款成功"
                                                                   << "刷卡" << refunded << "已退款";
    QTest::newRow("closed with a full-width comma is not refunded") << "已退款，交易关闭"
                                                                    << "微信" << refund << "退款";
    QTest::newRow("unknown status and channel") << ""
                                                << "" << refund << "退款";
}

void TestTransactionQuery::refundButton() {
    QFETCH(QString, finalinfo);
    QFETCH(QString, channel);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QCOMPARE(int(refundButtonKind(finalinfo, channel)), kind);
    QCOMPARE(refundButtonText(refundButtonKind(finalinfo, channel)), text);
    QCOMPARE(isRefundedStatus(finalinfo), kind == int(RefundButton::Refunded));
}

void TestTransactionQuery::replyFailure_data() {
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QString>("message");  // empty: the reply is the page's data
    QTest::newRow("rows") << QByteArray(R"({"code":1,"content":{"code":1,"listpay":[],"total_page":0}})") << "";
    QTest::newRow("rows without codes") << QByteArray(R"({"content":{"listpay":[{}]}})") << "";
    QTest::newRow("rows win over an odd code") << QByteArray(R"({"code":0,"content":{"listpay":[]}})") << "";
    QTest::newRow("expired token")
        << QByteArray(R"({"code":2,"msg":"token无效","content":{"code":0,"msg":"登录已过期，请重新登录"}})")
        << "登录已过期，请重新登录";
    QTest::newRow("message only at the top") << QByteArray(R"({"code":3,"msg":"缺少参数 token"})") << "缺少参数 token";
    QTest::newRow("code as text") << QByteArray(R"({"code":"2","msg":"请重新登录"})") << "请重新登录";
    QTest::newRow("no message at all") << QByteArray(R"({"code":0})") << "数据查询失败(错误码 0)";
    QTest::newRow("content reports failure")
        << QByteArray(R"({"content":{"code":0,"msg":"开始日期格式错误"}})") << "开始日期格式错误";
    QTest::newRow("success without rows: an empty page") << QByteArray(R"({"code":1,"content":{"code":1}})") << "";
    QTest::newRow("no codes, no rows") << QByteArray("{}") << "";
}

void TestTransactionQuery::replyFailure() {
    QFETCH(QByteArray, root);
    QFETCH(QString, message);
    const replies::Read<replies::ListingPage> page = replies::listing(envelope(root));
    QCOMPARE(page.ok(), message.isEmpty());
    QCOMPARE(page.ok() ? QString() : listingFailure(page.status), message);
}

void TestTransactionQuery::paging_data() {
    QTest::addColumn<QString>("button");  // up, next or go
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("field");  // the go-to-page field
    QTest::addColumn<QString>("total");  // the page-count label
    QTest::addColumn<int>("sent");       // page queried, 0 for none
    QTest::addColumn<QString>("warning");
    QTest::newRow("up from 1") << "up" << 1 << ""
                               << "3" << 0 << "";
    QTest::newRow("up from 3") << "up" << 3 << ""
                               << "3" << 2 << "";
    QTest::newRow("next before any query") << "next" << 1 << ""
                                           << "" << 0 << "";
    QTest::newRow("next in the middle") << "next" << 2 << ""
                                        << "3" << 3 << "";
    QTest::newRow("next at the last page") << "next" << 3 << ""
                                           << "3" << 0 << "";
    QTest::newRow("next with no pages") << "next" << 1 << ""
                                        << "0" << 0 << "";
    QTest::newRow("go within") << "go" << 1 << "2"
                               << "3" << 2 << "";
    QTest::newRow("go to the last") << "go" << 1 << "3"
                                    << "3" << 3 << "";
    QTest::newRow("go with leading zeros") << "go" << 1 << "02"
                                           << "3" << 2 << "";
    QTest::newRow("go above the total") << "go" << 1 << "4"
                                        << "3" << 0 << "查询的页码大于总页码";
    QTest::newRow("go before any query") << "go" << 1 << "1"
                                         << "" << 0 << "查询的页码大于总页码";
    QTest::newRow("go too many digits") << "go" << 1 << "99999999999"
                                        << "3" << 0 << "查询的页码大于总页码";
    QTest::newRow("go to 0") << "go" << 2 << "0"
                             << "3" << 0 << "查询的页码不能小于1";
    QTest::newRow("go empty") << "go" << 2 << ""
                              << "3" << 0 << "请输入要查询的页码";
}

void TestTransactionQuery::paging() {
    QFETCH(QString, button);
    QFETCH(int, current);
    QFETCH(QString, field);
    QFETCH(QString, total);
    QFETCH(int, sent);
    QFETCH(QString, warning);
    const PageStep step = button == "up"     ? previousPage(current)
                          : button == "next" ? nextPage(current, total)
                                             : goToPage(field, total);
    QCOMPARE(step.send, sent > 0);
    QCOMPARE(step.send ? step.page : 0, sent);
    QCOMPARE(step.warning, warning);
}

void TestTransactionQuery::currentPageLabel_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("totalPage");
    QTest::addColumn<QString>("shown");
    QTest::newRow("within") << 2 << 3 << "2";
    QTest::newRow("last") << 3 << 3 << "3";
    QTest::newRow("no pages keeps the label") << 1 << 0 << "7";
    QTest::newRow("fewer pages than asked keeps the label") << 4 << 3 << "7";
}

void TestTransactionQuery::currentPageLabel() {
    QFETCH(int, current);
    QFETCH(int, totalPage);
    QFETCH(QString, shown);
    QCOMPARE(shownCurrentPage(current, totalPage, QStringLiteral("7")), shown);
}

// Two rows of three labels, "caption | figure | unit", the second row's columns in line with the first's.
QVector<LabelSlot> twoRows(int figure1, int figure2) {
    return {{0, 10, 70, 50}, {0, 80, 80, figure1}, {0, 164, 20, 14},
            {1, 10, 70, 50}, {1, 80, 80, figure2}, {1, 164, 20, 14}};
}

void TestTransactionQuery::summaryLabelPlaces_data() {
    QTest::addColumn<QVector<LabelSlot>>("boxes");
    QTest::addColumn<int>("available");
    // x and width of each label; empty when nothing fits
    QTest::addColumn<QVector<int>>("expected");
    QTest::newRow("texts fit: the design stays")
        << twoRows(60, 80) << 200 << QVector<int>{10, 70, 80, 80, 164, 20, 10, 70, 80, 80, 164, 20};
    QTest::newRow("a wider sum grows, what follows moves, the other row keeps in line")
        << twoRows(96, 40) << 200 << QVector<int>{10, 70, 80, 96, 180, 20, 10, 70, 80, 80, 180, 20};
    QTest::newRow("no room to grow: the rows give up the room beyond their texts")
        << twoRows(96, 40) << 190 << QVector<int>{10, 63, 73, 96, 173, 17, 10, 63, 73, 66, 143, 17};
    QTest::newRow("too wide even packed tight") << twoRows(150, 40) << 190 << QVector<int>{};
}

void TestTransactionQuery::summaryLabelPlaces() {
    QFETCH(QVector<LabelSlot>, boxes);
    QFETCH(int, available);
    QFETCH(QVector<int>, expected);
    const std::optional<QVector<LabelPlace>> places = fitSummaryLabels(boxes, available);
    QCOMPARE(places.has_value(), !expected.isEmpty());
    if (!places) {
        return;
    }
    QVector<int> got;
    for (int i = 0; i < places->size(); ++i) {
        got << places->at(i).x << places->at(i).width;
        // No text is cut, and nothing passes the edge.
        QVERIFY(places->at(i).width >= boxes.at(i).needed);
        QVERIFY(places->at(i).x + places->at(i).width <= available);
    }
    QCOMPARE(got, expected);
}

void TestTransactionQuery::csvField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << QStringLiteral("西湖店") << QStringLiteral("西湖店");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("comma") << QStringLiteral("岚舟,西湖店") << QStringLiteral("\"岚舟,西湖店\"");
    QTest::newRow("quote") << QStringLiteral("6\"号柜") << QStringLiteral("\"6\"\"号柜\"");
    QTest::newRow("new line") << QStringLiteral("一\n二") << QStringLiteral("\"一\n二\"");
    QTest::newRow("carriage return") << QStringLiteral("一\r二") << QStringLiteral("\"一\r二\"");
    QTest::newRow("formula") << QStringLiteral("=1+2") << QStringLiteral("'=1+2");
    QTest::newRow("formula with comma") << QStringLiteral("@SUM(A1,A2)") << QStringLiteral("\"'@SUM(A1,A2)\"");
    QTest::newRow("minus sign") << QStringLiteral("-3") << QStringLiteral("'-3");
}

void TestTransactionQuery::csvField() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(transactions::csvField(text), field);
}

void TestTransactionQuery::csvRow_data() {
    QTest::addColumn<QByteArray>("listpay");
    QTest::addColumn<QString>("line");
    QTest::newRow("money with two decimals")
        << QByteArray(R"({"trade_no":"T1","out_trade_no":"M1","money":"1250","refundfee":"","pay_channel":"支付宝",)"
                      R"("finalinfo":"支付成功","pay_date":"2026-03-02 10:00:00","shopname":"西湖店"})")
        << QStringLiteral("T1,12.50,0.00,支付宝,支付成功,2026-03-02 10:00:00,M1,西湖店\r\n");
    QTest::newRow("exact to the fen, no float")
        << QByteArray(R"({"trade_no":"T2","out_trade_no":"M2","money":123456789,"refundfee":"1",)"
                      R"("pay_channel":"微信","finalinfo":"部分退款","pay_date":"x","shopname":"店"})")
        << QStringLiteral("T2,1234567.89,0.01,微信,部分退款,x,M2,店\r\n");
    QTest::newRow("an amount that is not fen stays empty")
        << QByteArray(R"({"trade_no":"T3","out_trade_no":"M3","money":"12.5","refundfee":"0","pay_channel":"微信",)"
                      R"("finalinfo":"已退款,交易关闭","pay_date":"d","shopname":"A \"B\", C"})")
        << QStringLiteral("T3,,0.00,微信,\"已退款,交易关闭\",d,M3,\"A \"\"B\"\", C\"\r\n");
}

void TestTransactionQuery::csvRow() {
    QFETCH(QByteArray, listpay);
    QFETCH(QString, line);
    const Order order = replies::orderOf(QJsonDocument::fromJson(listpay).object());
    QCOMPARE(QString::fromUtf8(transactions::csvRow(order)), line);
    // Spreadsheet programs take the file as UTF-8 only with the byte-order mark in front.
    QVERIFY(transactions::csvHeader().startsWith("\xEF\xBB\xBF"));
    QVERIFY(transactions::csvHeader().endsWith("\r\n"));
}

QTEST_GUILESS_MAIN(TestTransactionQuery)
#include "tst_transactionquery.moc"

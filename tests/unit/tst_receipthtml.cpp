#include "receipts/printhtmlreceipt.h"
#include "receipts/receipthtml.h"

#include "testsupport.h"

#include <QtTest>

using namespace receipts;

namespace {

SaleReceipt sample() {
    SaleReceipt r;
    r.shopName = QStringLiteral("东门店");
    r.operatorName = QStringLiteral("张三");
    r.payDate = QStringLiteral("2026-12-07 08:00:00");
    r.orderNo = QStringLiteral("ORD123");
    r.payWay = QStringLiteral("支付宝");
    r.moneyText = QStringLiteral("12.50");
    r.outTradeNo = QStringLiteral("ORD123");
    r.servicePhone = QStringLiteral("400-000-0000");
    return r;
}

}  // namespace

class TestReceiptHtml : public QObject {
    Q_OBJECT

private slots:
    void fragmentsInOrder_data();
    void fragmentsInOrder();
    void separators();
    void ticketHeading_data();
    void ticketHeading();
    void valuesEscaped();
    void printRules_data();
    void printRules();
    void printerStatus_data();
    void printerStatus();
    void reprint_data();
    void reprint();
};

void TestReceiptHtml::fragmentsInOrder_data() {
    QTest::addColumn<QStringList>("needles");
    QTest::newRow("heading") << QStringList{"<html> <p style='font-size: 50px;'>&nbsp;&nbsp; 岚舟门店</p> <br> ",
                                            QStringLiteral("&nbsp;").repeated(25) + "移动收银台</a><br>",
                                            "商户存根" + QStringLiteral("&nbsp;").repeated(13) + "SHOP" +
                                                QStringLiteral("&nbsp;").repeated(5) + "COPY</a><br>"};
    QTest::newRow("values in receipt order")
        << QStringList{"收款门店：东门店",
                       "操作员：张三",
                       "交易时间：2026-12-07 08:00:00",
                       "系统单号：ORD123",
                       "支付方式：支付宝",
                       "交易金额(RMB)：￥12.50</a><br>",
                       "购票信息：</a>",
                       "备注：</a>",
                       "交易订单号：</a><br><a style='font-family:微软雅黑;font-size:20px;'>ORD123",
                       "持卡人签名(CARDHOLDER SIGNATURE)</a><br><br><br><br>",
                       "本人确认以上交易，同意将其计入交易账户</a>",
                       "客服电话：400-000-0000</a>"};
    QTest::newRow("bold lines") << QStringList{
        "<a style='font-family:微软雅黑;font-size:28px;font-weight:bold;'>支付方式：",
        "<a style='font-family:微软雅黑;font-size:28px;font-weight:bold;'>交易金额(RMB)：￥"};
}

void TestReceiptHtml::fragmentsInOrder() {
    QFETCH(QStringList, needles);
    const QString html = saleReceiptHtml(sample());
    QCOMPARE(testsupport::firstOutOfOrder(html, needles), -1);
    QVERIFY(html.startsWith("<html>"));
    QVERIFY(html.endsWith("客服电话：400-000-0000</a></html>"));
}

void TestReceiptHtml::separators() {
    const QString html = saleReceiptHtml(sample());
    const QString s25 = "<font size='8'>" + QString(25, '-') + "</font>";
    const QString s22 = "<font size='8'>" + QString(22, '-') + "</font>";
    QCOMPARE(html.count(s25), 3);
    QCOMPARE(html.count(s22), 1);
    // The short rule sits under the signature space, the long ones above it.
    QVERIFY(html.indexOf(s22) > html.indexOf("持卡人签名"));
    QVERIFY(html.lastIndexOf(s25) < html.indexOf("持卡人签名"));
    QCOMPARE(separatorHtml(25), "<a><font size='8'>" + QString(25, '-') + "</font></a>");
}

void TestReceiptHtml::ticketHeading_data() {
    QTest::addColumn<int>("tickets");
    QTest::addColumn<int>("headings");
    QTest::newRow("no tickets: heading once") << 0 << 1;
    QTest::newRow("one ticket: heading twice") << 1 << 2;
    QTest::newRow("three tickets: heading twice") << 3 << 2;
}

void TestReceiptHtml::ticketHeading() {
    QFETCH(int, tickets);
    QFETCH(int, headings);
    QList<SoldTicket> sold;
    for (int i = 0; i < tickets; ++i) {
        sold.append({QStringLiteral("成人票%1").arg(i), QStringLiteral("20.00")});
    }
    const QString block = saleTicketsHtml(sold);
    QCOMPARE(block.isEmpty(), tickets == 0);
    SaleReceipt r = sample();
    r.ticketsHtml = block;
    const QString html = saleReceiptHtml(r);
    QCOMPARE(html.count("购票信息："), headings);
    QCOMPARE(html.count("font-size:18px;"), tickets);
    for (int i = 0; i < tickets; ++i) {
        QVERIFY(html.contains(QStringLiteral("成人票%1(20.00元)</a><br/>").arg(i)));
    }
    // The ticket lines come after the heading and before the separator that closes the block.
    if (tickets > 0) {
        QVERIFY(html.indexOf("成人票0") < html.indexOf("备注："));
    }
}

void TestReceiptHtml::valuesEscaped() {
    SaleReceipt r = sample();
    r.shopName = QStringLiteral("A&B <店>");
    const QString html = saleReceiptHtml(r);
    QVERIFY(html.contains("收款门店：A&amp;B &lt;店&gt;"));
    QVERIFY(!html.contains("<店>"));
    const QString tickets = saleTicketsHtml({{QStringLiteral("<b>"), QStringLiteral("1")}});
    QVERIFY(tickets.contains("&lt;b&gt;(1元)"));
}

void TestReceiptHtml::printRules_data() {
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("autoPrint");
    QTest::addColumn<QString>("warning");
    const QString warn = QStringLiteral("当前没有设置可用打印机,如需打印请先设置打印机");
    QTest::newRow("no printer chosen") << QStringLiteral("不打印小票") << false << warn;
    QTest::newRow("never set") << QString() << false << QString();
    QTest::newRow("a printer") << QStringLiteral("CashierCapture") << true << QString();
}

void TestReceiptHtml::printerStatus_data() {
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("inError");
    QTest::addColumn<bool>("accepting");
    QTest::addColumn<bool>("anyPrinter");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("namesPrinter");  // the cashier is told which printer
    QTest::newRow("ready") << true << false << true << true << int(PrintResult::Accepted) << false;
    QTest::newRow("stopped") << true << true << true << true << int(PrintResult::PrinterStopped) << true;
    QTest::newRow("refusing jobs") << true << false << false << true << int(PrintResult::PrinterRejecting) << true;
    QTest::newRow("stopped and refusing") << true << true << false << true << int(PrintResult::PrinterStopped) << true;
    QTest::newRow("missing") << false << false << true << true << int(PrintResult::PrinterMissing) << true;
    QTest::newRow("print service down") << false << false << true << false << int(PrintResult::NoPrinters) << false;
}

void TestReceiptHtml::printerStatus() {
    QFETCH(bool, found);
    QFETCH(bool, inError);
    QFETCH(bool, accepting);
    QFETCH(bool, anyPrinter);
    QFETCH(int, status);
    QFETCH(bool, namesPrinter);
    const PrintResult result{statusBeforePrinting(found, inError, accepting, anyPrinter), QStringLiteral("Kitchen-3")};
    QCOMPARE(int(result.status), status);
    // Only an accepted job goes without a word; every other outcome is told, with its printer where it has one.
    QCOMPARE(printFailureText(result).isEmpty(), result.accepted());
    QCOMPARE(printFailureText(result).contains(QStringLiteral("Kitchen-3")), namesPrinter);
}

void TestReceiptHtml::printRules() {
    QFETCH(QString, printer);
    QFETCH(bool, autoPrint);
    QFETCH(QString, warning);
    QCOMPARE(shouldAutoPrint(printer), autoPrint);
    QCOMPARE(requestedPrintWarning(printer), warning);
}

void TestReceiptHtml::reprint_data() {
    QTest::addColumn<bool>("refunded");
    QTest::addColumn<int>("spaces");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain copy") << false << 19 << "移动收银台(重打印)</a>";
    QTest::newRow("refunded copy") << true << 15 << "移动收银台(重打印)-退款</a>";
}

void TestReceiptHtml::reprint() {
    QFETCH(bool, refunded);
    QFETCH(int, spaces);
    QFETCH(QString, title);
    ReprintReceipt r;
    r.refunded = refunded;
    r.shopName = QStringLiteral("西湖店");
    r.operatorName = QStringLiteral("张三");
    r.payDate = QStringLiteral("2026-12-07 08:00:00");
    r.outTradeNo = QStringLiteral("OUT42");
    r.payChannel = QStringLiteral("微信");
    r.moneyText = QStringLiteral("12.50");
    r.cardNo = QString();
    r.refundText = QStringLiteral("0.00");
    r.tradeNo = QStringLiteral("TRADE42");
    r.servicePhone = QStringLiteral("400-000-0000");
    const QString html = reprintReceiptHtml(r);
    const QString line23 = QStringLiteral("<a style='font-family:微软雅黑;font-size:23px;'>");
    const QString line30 = QStringLiteral("<a style='font-family:微软雅黑;font-size:30px;'>");
    // The title right after the heading, behind its run of spaces and nothing more.
    QCOMPARE(reprintTitle(refunded), QStringLiteral("&nbsp;").repeated(spaces) + title.chopped(4));
    QVERIFY(html.startsWith("<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> " + line23 +
                            QStringLiteral("&nbsp;").repeated(spaces) + title));
    QVERIFY(!html.contains(QStringLiteral("&nbsp;").repeated(spaces + 1) + "移动收银台"));
    QCOMPARE(html.count("移动收银台"), 1);
    const QStringList order{
        "商户存根" + QStringLiteral("&nbsp;").repeated(15) + "SHOP" + QStringLiteral("&nbsp;").repeated(5) + "COPY</a>",
        line23 + "收款门店：西湖店</a>",
        line23 + "操作员：张三</a>",
        line23 + "交易时间：2026-12-07 08:00:00</a>",
        line23 + "系统单号：OUT42</a>",
        line23 + "支付方式：微信</a>",
        line30 + "交易金额(RMB)：￥12.50</a>",
        line23 + "房间号：</a>",  // printed even without a hand tag
        line30 + "退款金额(RMB)：￥0.00</a>",
        "备注：</a>",
        "交易订单号：</a><br>" + line23 + "TRADE42</a>",
        "持卡人签名(CARDHOLDER SIGNATURE)</a><br><br><br><br>",
        "本人确认以上交易，同意将其计入交易账户</a>",
        line23 + "客服电话：400-000-0000</a></html>"};
    QCOMPARE(testsupport::firstOutOfOrder(html, order), -1);
    QCOMPARE(html.count("<font size='8'>" + QString(25, '-') + "</font>"), 4);
    QVERIFY(html.endsWith("</html>"));
}

QTEST_GUILESS_MAIN(TestReceiptHtml)
#include "tst_receipthtml.moc"

// Confirming a charge whose reply never came: which listed transactions are offered to the cashier, and what the
// result window is given for the one confirmed.
#include "payments/chargecheck.h"

#include "gateway/gatewayclock.h"

#include <QJsonDocument>
#include <QtTest>

using namespace chargecheck;

namespace {

// The gateway's wall clock: China Standard Time, whatever the zone of the machine running the test.
const QTimeZone kGatewayZone(8 * 3600);
const QDateTime kSent(QDate(2026, 12, 7), QTime(14, 0), kGatewayZone);
const QDateTime kNow = kSent.addSecs(40);
const Window kWindow = paymentWindow(kSent, Timing());

QList<Order> rows(const QByteArray& json) {
    QList<Order> out;
    for (const QJsonValue& v : QJsonDocument::fromJson(json).array()) {
        out.append(replies::orderOf(v.toObject()));
    }
    return out;
}

QStringList orderNumbers(const QList<Candidate>& list) {
    QStringList out;
    for (const Candidate& c : list) {
        out << c.row.orderNo();
    }
    return out;
}

}  // namespace

class TestChargeCheck : public QObject {
    Q_OBJECT

private slots:
    void candidatesFromListing_data();
    void candidatesFromListing();
    void candidateFields();
    void payDate_data();
    void payDate();
    void listingRange();
    void gatewayZone_data();
    void gatewayZone();
    void resultContent_data();
    void resultContent();
    void ticketsOfTheSale();
    void timingSeam_data();
    void timingSeam();
};

void TestChargeCheck::candidatesFromListing_data() {
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QStringList>("declined");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("same amount inside the window")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35","shopid":"7"}])") << none
        << QStringList{"A"};
    QTest::newRow("amount as a JSON number")
        << QByteArray(R"([{"out_trade_no":"A","money":1250,"pay_date":"2026-12-07 14:00:35"}])") << none
        << QStringList{"A"};
    QTest::newRow("another amount") << QByteArray(
                                           R"([{"out_trade_no":"A","money":"1251","pay_date":"2026-12-07 14:00:35"}])")
                                    << none << none;
    QTest::newRow("amount in yuan text is not fen")
        << QByteArray(R"([{"out_trade_no":"A","money":"12.50","pay_date":"2026-12-07 14:00:35"}])") << none << none;
    QTest::newRow("paid before the window")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 13:57:59"}])") << none << none;
    QTest::newRow("first second of the window")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 13:58:00"}])") << none
        << QStringList{"A"};
    QTest::newRow("last second a wallet payment can take")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:05:00"}])") << none
        << QStringList{"A"};
    QTest::newRow("another till's sale minutes after the scan")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:05:01"}])") << none << none;
    QTest::newRow("the next hour's same-amount sale")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 15:00:00"}])") << none << none;
    QTest::newRow("this till's own sale known by the gateway's number")
        << QByteArray(R"([{"out_trade_no":"A","trade_no":"T1","money":"1250","pay_date":"2026-12-07 14:00:35"}])")
        << QStringList{"T1"} << none;
    QTest::newRow("two candidates, newest first")
        << QByteArray(R"([{"out_trade_no":"OLD","money":"1250","pay_date":"2026-12-07 14:00:05"},
                         {"out_trade_no":"X","money":"990","pay_date":"2026-12-07 14:00:20"},
                         {"out_trade_no":"NEW","money":"1250","pay_date":"2026-12-07 14:00:30"}])")
        << none << QStringList{"NEW", "OLD"};
    QTest::newRow("another store")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35","shopid":"8"}])") << none
        << none;
    QTest::newRow("store id as a number")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35","shopid":7}])") << none
        << QStringList{"A"};
    QTest::newRow("declined by the cashier is not offered again")
        << QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35"},
                         {"out_trade_no":"B","money":"1250","pay_date":"2026-12-07 14:00:10"}])")
        << QStringList{"A"} << QStringList{"B"};
    QTest::newRow("unreadable time kept after the dated ones")
        << QByteArray(R"([{"out_trade_no":"U","money":"1250","pay_date":"今天"},
                         {"out_trade_no":"D","money":"1250","pay_date":"2026-12-07 14:00:10"}])")
        << none << QStringList{"D", "U"};
    QTest::newRow("gateway order number when the merchant's is empty")
        << QByteArray(R"([{"out_trade_no":"","trade_no":"T9","money":"1250","pay_date":"2026-12-07 14:00:35"}])")
        << none << QStringList{"T9"};
    // Only a sale that was paid and stands can be the charge that just went through.
    for (const char* status : {"已退款,交易关闭", "部分退款", "交易关闭", "支付失败", "未支付", "用户支付中", "未成功",
                               "REFUND_SUCCESS", "TRADE_CLOSED", "NOTPAY", "处理中"}) {
        QTest::newRow(qPrintable(QStringLiteral("status %1 not offered").arg(QString::fromUtf8(status))))
            << (QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35","finalinfo":")") +
                status + R"("}])")
            << none << none;
    }
    for (const char* status : {"支付成功", "已支付", "支付完成", "SUCCESS", "TRADE_SUCCESS"}) {
        QTest::newRow(qPrintable(QStringLiteral("status %1 offered").arg(QString::fromUtf8(status))))
            << (QByteArray(R"([{"out_trade_no":"A","money":"1250","pay_date":"2026-12-07 14:00:35","finalinfo":")") +
                status + R"("}])")
            << none << QStringList{"A"};
    }
    QTest::newRow("empty listing") << QByteArray("[]") << none << none;
    QTest::newRow("rows that are not objects") << QByteArray(R"([1,"x",null])") << none << none;
}

void TestChargeCheck::candidatesFromListing() {
    QFETCH(QByteArray, listing);
    QFETCH(QStringList, declined);
    QFETCH(QStringList, expected);
    const Charge charge{1250, "7", kSent};
    const QSet<QString> declinedSet(declined.begin(), declined.end());
    QCOMPARE(orderNumbers(candidates(charge, rows(listing), kWindow, declinedSet)), expected);
}

void TestChargeCheck::candidateFields() {
    const QList<Candidate> found = candidates(
        Charge{1250, "7", kSent}, rows(R"([{"out_trade_no":"A","trade_no":"T","money":"1250","pay_channel":"支付宝",
                 "pay_date":"2026-12-07 14:00:35"}])"),
        kWindow);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().channel, QString("支付宝"));
    QCOMPARE(found.first().row.paidAt, kSent.addSecs(35));
    QVERIFY(!found.first().undated());
    const QList<Candidate> undated = candidates(
        Charge{1250, "7", kSent}, rows(R"([{"out_trade_no":"U","money":"1250","pay_date":"下午"}])"), kWindow);
    QCOMPARE(undated.size(), 1);
    QVERIFY(undated.first().undated());  // offered, and marked as such
}

void TestChargeCheck::payDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("gateway form") << "2026-12-07 14:00:35" << kSent.addSecs(35);
    QTest::newRow("short form") << "2026-12-7 14:0:35" << kSent.addSecs(35);
    QTest::newRow("slashes") << "2026/12/7 14:00:35" << kSent.addSecs(35);
    QTest::newRow("unix seconds") << QString::number(kSent.toSecsSinceEpoch()) << kSent;
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("words") << "昨天" << QDateTime();
    QTest::newRow("day only") << "2026-12-07" << QDateTime();
}

void TestChargeCheck::payDate() {
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    QCOMPARE(replies::parsePayDate(text), expected);
}

void TestChargeCheck::listingRange() {
    // The transaction query's form, with the tolerance on both sides.
    QCOMPARE(rangeStart(kSent, 120, kGatewayZone), QString("2026-12-7 13:58:00"));
    QCOMPARE(rangeEnd(kNow, 120, kGatewayZone), QString("2026-12-7 14:02:40"));
    QCOMPARE(rangeStart(QDateTime(QDate(2027, 1, 1), QTime(0, 1), kGatewayZone), 120, kGatewayZone),
             QString("2026-12-31 23:59:00"));
}

// The gateway's wall clock is read and written in its zone, never this PC's: the same moment, whichever zone it is
// given in, lists as the same text, and a pay_date names the same moment whatever the PC's zone.
void TestChargeCheck::gatewayZone_data() {
    QTest::addColumn<QString>("setting");  // data.ini's gatewayTimeZone
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("listed");  // how a listing range names it
    QTest::addColumn<qint64>("utcMs");    // the moment "2026-12-07 14:00:00" names
    const QDateTime at(QDate(2026, 12, 7), QTime(6, 0), Qt::UTC);
    const qint64 cst = at.toMSecsSinceEpoch();
    QTest::newRow("default China Standard Time, moment in UTC") << "" << at << "2026-12-7 14:00:00" << cst;
    QTest::newRow("moment given in a PC's wrong zone")
        << "" << at.toOffsetFromUtc(-5 * 3600) << "2026-12-7 14:00:00" << cst;
    QTest::newRow("offset form") << "UTC+08:00" << at << "2026-12-7 14:00:00" << cst;
    QTest::newRow("named zone") << "Asia/Shanghai" << at << "2026-12-7 14:00:00" << cst;
    QTest::newRow("a gateway in UTC") << "UTC" << at << "2026-12-7 06:00:00" << cst + 8 * 3600 * 1000;
    QTest::newRow("half-hour zone") << "+05:30" << at << "2026-12-7 11:30:00" << cst + 150 * 60 * 1000;
}

void TestChargeCheck::gatewayZone() {
    QFETCH(QString, setting);
    QFETCH(QDateTime, moment);
    QFETCH(QString, listed);
    QFETCH(qint64, utcMs);
    const std::optional<QTimeZone> zone = gateway::zoneFromSetting(setting);
    QVERIFY(zone);
    QCOMPARE(rangeText(moment, *zone), listed);
    QCOMPARE(replies::parsePayDate("2026-12-07 14:00:00", *zone).toMSecsSinceEpoch(), utcMs);
    QVERIFY(!gateway::zoneFromSetting("Mars/Olympus"));
    QVERIFY(!gateway::zoneFromSetting("+25"));
}

void TestChargeCheck::resultContent_data() {
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QStringList>("expected");  // operator, order, trade no, channel code, shop
    QTest::newRow("alipay listed in words")
        << QByteArray(R"({"out_trade_no":"O1","trade_no":"T1","money":"1250","pay_channel":"支付宝",
                          "pay_date":"2026-12-07 14:00:35","shopname":"岚舟西湖店"})")
        << QStringList{"张三", "O1", "T1", "ALIPAY", "岚舟西湖店"};
    QTest::newRow("wechat listed in words")
        << QByteArray(R"({"out_trade_no":"O2","trade_no":"T2","money":"1250","pay_channel":"微信",
                          "pay_date":"2026-12-07 14:00:35","shopname":"岚舟西湖店"})")
        << QStringList{"张三", "O2", "T2", "WECHAT", "岚舟西湖店"};
    QTest::newRow("channel already a code, money a number, no store")
        << QByteArray(R"({"out_trade_no":"O3","money":1250,"pay_channel":"ALIPAY","pay_date":"x"})")
        << QStringList{"张三", "O3", "", "ALIPAY", "本店"};
    QTest::newRow("listed operator and other channel kept")
        << QByteArray(R"({"out_trade_no":"O4","money":"1250","pay_channel":"京东","operator":"李四",
                          "pay_date":"x","shopname":"东门"})")
        << QStringList{"李四", "O4", "", "京东", "东门"};
}

void TestChargeCheck::resultContent() {
    QFETCH(QByteArray, row);
    QFETCH(QStringList, expected);
    const QList<Candidate> found =
        candidates(Charge{1250, "7", kSent}, {replies::orderOf(QJsonDocument::fromJson(row).object())}, kWindow);
    QCOMPARE(found.size(), 1);
    const Order sale = tradeContent(found.first(), "张三", "本店");
    QCOMPARE((QStringList{sale.operatorName, sale.outTradeNo, sale.tradeNo, sale.payChannel, sale.shopName}), expected);
    QCOMPARE(sale.fen, std::optional<qint64>(1250));
}

void TestChargeCheck::ticketsOfTheSale() {
    const QList<SoldTicket> tickets = ticketsSold({{"成人票", 2, 2000}, {"儿童票", 0, 1000}, {"老人票", 1, 1250}});
    QStringList lines;
    for (const SoldTicket& t : tickets) {
        lines << t.name + ":" + t.price;
    }
    QCOMPARE(lines, (QStringList{"成人票:20", "成人票:20", "老人票:12.5"}));
    const QList<Candidate> found =
        candidates(Charge{5250, "7", kSent},
                   rows(R"([{"out_trade_no":"O","money":"5250","pay_date":"2026-12-07 14:00:35"}])"), kWindow);
    QCOMPARE(found.size(), 1);
    QCOMPARE(tradeContent(found.first(), "张三", "本店", tickets).tickets.size(), 3);
}

void TestChargeCheck::timingSeam_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("expected");  // timeout, interval, duration, list, tolerance
    QTest::newRow("production") << "" << QList<int>{30000, 5000, 60000, 10000, 120, 300};
    QTest::newRow("all shortened") << "timeout=3000,interval=500,duration=8000,list=2000,tolerance=60,wallet=20"
                                   << QList<int>{3000, 500, 8000, 2000, 60, 20};
    QTest::newRow("too short or unreadable ignored")
        << "timeout=5,interval=abc,duration=,tolerance=0,wallet=0" << QList<int>{30000, 5000, 60000, 10000, 120, 300};
    QTest::newRow("unknown keys ignored")
        << "retries=3,interval=1000" << QList<int>{30000, 1000, 60000, 10000, 120, 300};
}

void TestChargeCheck::timingSeam() {
    QFETCH(QString, text);
    QFETCH(QList<int>, expected);
    const Timing t = parseTiming(text);
    QCOMPARE((QList<int>{t.chargeTimeoutMs, t.intervalMs, t.durationMs, t.listTimeoutMs, t.clockToleranceSecs,
                         t.walletSecs}),
             expected);
}

QTEST_GUILESS_MAIN(TestChargeCheck)
#include "tst_chargecheck.moc"

// The client's own request bodies (requests::) sent to the sandbox, and the replies read field by field with the
// JSON types the client's reply readers expect: the two sides agree on fields and JSON types.
#include "sandbox_harness.h"

#include "gateway/reply.h"
#include "gateway/requests.h"

#include <QDateTime>
#include <QJsonArray>
#include <QtTest>

namespace {
// Strict about JSON types, as the client's readers are: a number read as text is "", text read as a number is 0.
namespace field {
QString str(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}
int num(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toInt();
}
double dbl(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toDouble();
}
QJsonObject obj(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toObject();
}
QJsonArray arr(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toArray();
}
// A JSON string holding a decimal integer; 0 otherwise.
int strToInt(const QJsonObject& o, const char* key) {
    return str(o, key).toInt(nullptr, 10);
}
}  // namespace field
}  // namespace

class ClientContract : public SandboxTestCase {
    Q_OBJECT

private:
    QJsonObject send(const RequestBody& body) const { return sb->post(body.bytes()).json; }
    QJsonObject content(const RequestBody& body) const { return reply::content(send(body)); }

private slots:
    void saleRoad() {
        QCOMPARE(field::num(content(requests::update()), "code"), 1);
        QCOMPARE(field::str(content(requests::update()), "version_code"), QString("3.0.1"));

        const QJsonObject login = content(requests::login("demo", "demo123"));
        QCOMPARE(field::num(login, "code"), 1);
        QCOMPARE(field::num(content(requests::login("demo", "wrong1")), "code"), 0);
        const QString token = field::str(login, "token");
        const QString uid = field::str(login, "id");
        QVERIFY(!token.isEmpty() && !uid.isEmpty());
        const QJsonArray tickets = field::arr(login, "ticket");
        QCOMPARE(tickets.size(), 3);
        QCOMPARE(field::strToInt(tickets[0].toObject(), "id"), 1);
        QCOMPARE(field::str(tickets[2].toObject(), "price").toDouble(), 12.5);

        const QJsonArray shops = field::arr(content(requests::listShop(token)), "listshop");
        QCOMPARE(shops.size(), 2);
        const QString shopid = field::str(shops[0].toObject(), "shopid");
        QCOMPARE(shopid, QString("1"));

        // Payment result: ALIPAY money is a number, anything else a string of digits.
        const QJsonObject ali = content(requests::scanPay(codes::alipay, 1234, uid, shopid));
        QCOMPARE(field::str(ali, "msg"), QString("成功"));
        QCOMPARE(field::str(ali, "pay_channel"), QString("ALIPAY"));
        QCOMPARE(field::dbl(ali, "money"), 1234.0);
        const QJsonObject wx = content(requests::scanPay(codes::withItems(2), 4000, uid, shopid));
        QCOMPARE(field::str(wx, "money").toDouble(), 4000.0);
        QCOMPARE(field::str(wx, "operator"), QString("张三"));
        const QString refused = field::str(content(requests::scanPay(codes::insufficient, 100, uid, shopid)), "msg");
        QVERIFY(!refused.isEmpty() && refused != "成功");

        const QJsonObject sold = content(requests::ticketScanPay("1:2,3:1,", codes::wechat, 5250, uid, shopid));
        QCOMPARE(field::arr(sold, "tickets").size(), 3);
        QCOMPARE(field::str(field::arr(sold, "tickets")[2].toObject(), "price"), QString("12.5"));
        QCOMPARE(field::num(content(requests::doPrint(token, field::str(sold, "out_trade_no"))), "code"), 1);

        // Transaction query with the date edits' display format.
        const QDate today = QDate::currentDate();
        const QString start = QDateTime(today, QTime(0, 0)).toString("yyyy-M-d hh:mm:ss");
        const QString end = QDateTime(today, QTime(23, 59, 59)).toString("yyyy-M-d hh:mm:ss");
        QJsonObject page = content(requests::listPay(token, 1, "", start, end, shopid, ""));
        QCOMPARE(field::num(page, "total_page"), 1);
        QCOMPARE(field::str(page, "total_count"), QString("3"));
        QCOMPARE(field::str(page, "total_al"), QString("1"));
        QCOMPARE(field::str(page, "alipay_tfee").toLongLong(), 1234);
        QCOMPARE(field::str(page, "wechat_tfee").toLongLong(), 9250);
        const QJsonObject newest = field::arr(page, "listpay")[0].toObject();
        QCOMPARE(field::str(newest, "out_trade_no"), field::str(sold, "out_trade_no"));

        // Refund of one hand tag with the dialog's box text.
        const QString order = field::str(wx, "out_trade_no");
        const QJsonObject cards = content(requests::cards(token, order));
        QCOMPARE(field::num(cards, "count"), 2);
        const QJsonObject first = field::arr(cards, "cards")[0].toObject();
        const QString box = field::str(first, "cardno") + "(" + field::str(first, "price") + "元)";
        QCOMPARE(box, QString("A01(20元)"));
        QJsonObject r = send(requests::refund(token, 2000, order, box + ",", "000000"));
        QCOMPARE(field::num(r, "code"), 5);
        r = send(requests::refund(token, 4001, order, "", "888888"));
        QVERIFY(field::str(r, "msg") != "退款成功");
        r = send(requests::refund(token, 2000, order, box + ",", "888888"));
        QCOMPARE(field::str(r, "msg"), QString("退款成功"));
        QCOMPARE(field::strToInt(field::arr(content(requests::cards(token, order)), "cards")[0].toObject(), "state"),
                 1);
        page = content(requests::listPay(token, 1, order, start, end, shopid, "A01"));
        QCOMPARE(field::arr(page, "listpay").size(), 1);
        QCOMPARE(field::str(page, "total_rfee").toLongLong(), 2000);

        // Shift summary.
        const QJsonObject period = content(requests::printTime(token));
        const QDateTime t1 = QDateTime::fromString(field::str(period, "time1"), "yyyy-MM-dd hh:mm:ss");
        const QDateTime t2 = QDateTime::fromString(field::str(period, "time2"), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(t1.isValid() && t2.isValid());
        const QJsonObject sums =
            content(requests::listSumTicket(token, t1.toSecsSinceEpoch(), t2.toSecsSinceEpoch() + 1));
        QCOMPARE(field::str(sums, "allmoney"), QString("10484"));
        QCOMPARE(field::str(field::obj(sums, "WECHAT"), "refundmoney"), QString("2000"));
        QCOMPARE(field::arr(sums, "tickets").size(), 2);
        send(requests::logPrint(token, t1.toSecsSinceEpoch(), t2.toSecsSinceEpoch()));
        QVERIFY(field::str(content(requests::printTime(token)), "time1") != field::str(period, "time1"));
    }

    void passwordPages() {
        const QJsonObject login = content(requests::login("demo", "demo123"));
        const QString token = field::str(login, "token");
        QCOMPARE(field::str(content(requests::editPassword(token, "demo", "demo456", "demo456")), "msg"),
                 QString("修改成功"));
        QCOMPARE(field::num(content(requests::login("demo", "demo456")), "code"), 1);

        QVERIFY(field::str(content(requests::editRefundPassword1(token, "demo", "123456", "123456", "000000")),
                           "respType") != "Success");
        QCOMPARE(
            field::str(content(requests::editRefundPassword1(token, "demo", "123456", "123456", "888888")), "respType"),
            QString("Success"));
        const QString question = field::str(content(requests::getQuestion(token)), "refundquestion");
        QCOMPARE(field::str(content(requests::editRefundPassword(token, "demo", "654321", "654321", "杭州", question)),
                            "respType"),
                 QString("Success"));

        const QString other = field::str(content(requests::login("demo2", "demo2pwd")), "token");
        QCOMPARE(field::str(content(requests::getQuestion(other)), "refundquestion"), QString());
        QCOMPARE(field::str(
                     content(requests::setRefundPassword(other, "demo2", "777777", "777777", "答案", "我的第一个问题")),
                     "respType"),
                 QString("Success"));
    }
};

QTEST_GUILESS_MAIN(ClientContract)
#include "tst_client_contract.moc"

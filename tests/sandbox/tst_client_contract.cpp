// The client's own request bodies (requests::) sent to the sandbox, and the replies read with the client's own
// readers (reply::) the way its screens read them: the two sides agree on fields and JSON types.
#include "sandbox_harness.h"

#include "gateway/reply.h"
#include "gateway/requests.h"

#include <QDateTime>
#include <QtTest>

class ClientContract : public SandboxTestCase {
    Q_OBJECT

private:
    QJsonObject send(const RequestBody& body) const { return sb->post(body.bytes()).json; }
    QJsonObject content(const RequestBody& body) const { return reply::content(send(body)); }

private slots:
    void saleRoad() {
        QCOMPARE(reply::num(content(requests::update()), "code"), 1);
        QCOMPARE(reply::str(content(requests::update()), "version_code"), QString("3.0.1"));

        const QJsonObject login = content(requests::login("demo", "demo123"));
        QCOMPARE(reply::num(login, "code"), 1);
        QCOMPARE(reply::num(content(requests::login("demo", "wrong1")), "code"), 0);
        const QString token = reply::str(login, "token");
        const QString uid = reply::str(login, "id");
        QVERIFY(!token.isEmpty() && !uid.isEmpty());
        const QJsonArray tickets = reply::arr(login, "ticket");
        QCOMPARE(tickets.size(), 3);
        QCOMPARE(reply::strToInt(tickets[0].toObject(), "id"), 1);
        QCOMPARE(reply::str(tickets[2].toObject(), "price").toDouble(), 12.5);

        const QJsonArray shops = reply::arr(content(requests::listShop(token)), "listshop");
        QCOMPARE(shops.size(), 2);
        const QString shopid = reply::str(shops[0].toObject(), "shopid");
        QCOMPARE(shopid, QString("1"));

        // Payment result: ALIPAY money is a number, anything else a string of digits.
        const QJsonObject ali = content(requests::scanPay(codes::alipay, 1234, uid, shopid));
        QCOMPARE(reply::str(ali, "msg"), QString("成功"));
        QCOMPARE(reply::str(ali, "pay_channel"), QString("ALIPAY"));
        QCOMPARE(reply::dbl(ali, "money"), 1234.0);
        const QJsonObject wx = content(requests::scanPay(codes::withItems(2), 4000, uid, shopid));
        QCOMPARE(reply::str(wx, "money").toDouble(), 4000.0);
        QCOMPARE(reply::str(wx, "operator"), QString("张三"));
        const QString refused = reply::str(content(requests::scanPay(codes::insufficient, 100, uid, shopid)), "msg");
        QVERIFY(!refused.isEmpty() && refused != "成功");

        const QJsonObject sold = content(requests::ticketScanPay("1:2,3:1,", codes::wechat, 5250, uid, shopid));
        QCOMPARE(reply::arr(sold, "tickets").size(), 3);
        QCOMPARE(reply::str(reply::arr(sold, "tickets")[2].toObject(), "price"), QString("12.5"));
        QCOMPARE(reply::num(content(requests::doPrint(token, reply::str(sold, "out_trade_no"))), "code"), 1);

        // Transaction query with the date edits' display format.
        const QDate today = QDate::currentDate();
        const QString start = QDateTime(today, QTime(0, 0)).toString("yyyy-M-d hh:mm:ss");
        const QString end = QDateTime(today, QTime(23, 59, 59)).toString("yyyy-M-d hh:mm:ss");
        QJsonObject page = content(requests::listPay(token, 1, "", start, end, shopid, ""));
        QCOMPARE(reply::num(page, "total_page"), 1);
        QCOMPARE(reply::str(page, "total_count"), QString("3"));
        QCOMPARE(reply::str(page, "total_al"), QString("1"));
        QCOMPARE(reply::str(page, "alipay_tfee").toLongLong(), 1234);
        QCOMPARE(reply::str(page, "wechat_tfee").toLongLong(), 9250);
        const QJsonObject newest = reply::arr(page, "listpay")[0].toObject();
        QCOMPARE(reply::str(newest, "out_trade_no"), reply::str(sold, "out_trade_no"));

        // Refund of one hand tag with the dialog's box text.
        const QString order = reply::str(wx, "out_trade_no");
        const QJsonObject cards = content(requests::cards(token, order));
        QCOMPARE(reply::num(cards, "count"), 2);
        const QJsonObject first = reply::arr(cards, "cards")[0].toObject();
        const QString box = reply::str(first, "cardno") + "(" + reply::str(first, "price") + "元)";
        QCOMPARE(box, QString("A01(20元)"));
        QJsonObject r = send(requests::refund(token, 2000, order, box + ",", "000000"));
        QCOMPARE(reply::num(r, "code"), 5);
        r = send(requests::refund(token, 4001, order, "", "888888"));
        QVERIFY(reply::str(r, "msg") != "退款成功");
        r = send(requests::refund(token, 2000, order, box + ",", "888888"));
        QCOMPARE(reply::str(r, "msg"), QString("退款成功"));
        QCOMPARE(reply::strToInt(reply::arr(content(requests::cards(token, order)), "cards")[0].toObject(), "state"),
                 1);
        page = content(requests::listPay(token, 1, order, start, end, shopid, "A01"));
        QCOMPARE(reply::arr(page, "listpay").size(), 1);
        QCOMPARE(reply::str(page, "total_rfee").toLongLong(), 2000);

        // Shift summary.
        const QJsonObject period = content(requests::printTime(token));
        const QDateTime t1 = QDateTime::fromString(reply::str(period, "time1"), "yyyy-MM-dd hh:mm:ss");
        const QDateTime t2 = QDateTime::fromString(reply::str(period, "time2"), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(t1.isValid() && t2.isValid());
        const QJsonObject sums =
            content(requests::listSumTicket(token, t1.toSecsSinceEpoch(), t2.toSecsSinceEpoch() + 1));
        QCOMPARE(reply::str(sums, "allmoney"), QString("10484"));
        QCOMPARE(reply::str(reply::obj(sums, "WECHAT"), "refundmoney"), QString("2000"));
        QCOMPARE(reply::arr(sums, "tickets").size(), 2);
        send(requests::logPrint(token, t1.toSecsSinceEpoch(), t2.toSecsSinceEpoch()));
        QVERIFY(reply::str(content(requests::printTime(token)), "time1") != reply::str(period, "time1"));
    }

    void passwordPages() {
        const QJsonObject login = content(requests::login("demo", "demo123"));
        const QString token = reply::str(login, "token");
        QCOMPARE(reply::str(content(requests::editPassword(token, "demo", "demo456", "demo456")), "msg"),
                 QString("修改成功"));
        QCOMPARE(reply::num(content(requests::login("demo", "demo456")), "code"), 1);

        QVERIFY(reply::str(content(requests::editRefundPassword1(token, "demo", "123456", "123456", "000000")),
                           "respType") != "Success");
        QCOMPARE(
            reply::str(content(requests::editRefundPassword1(token, "demo", "123456", "123456", "888888")), "respType"),
            QString("Success"));
        const QString question = reply::str(content(requests::getQuestion(token)), "refundquestion");
        QCOMPARE(reply::str(content(requests::editRefundPassword(token, "demo", "654321", "654321", "杭州", question)),
                            "respType"),
                 QString("Success"));

        const QString other = reply::str(content(requests::login("demo2", "demo2pwd")), "token");
        QCOMPARE(reply::str(content(requests::getQuestion(other)), "refundquestion"), QString());
        QCOMPARE(reply::str(
                     content(requests::setRefundPassword(other, "demo2", "777777", "777777", "答案", "我的第一个问题")),
                     "respType"),
                 QString("Success"));
    }
};

QTEST_GUILESS_MAIN(ClientContract)
#include "tst_client_contract.moc"

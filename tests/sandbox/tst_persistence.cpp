// What the sandbox stores survives a stop and a start on the same database.
#include "sandbox_harness.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QtTest>

class SandboxPersistence : public QObject {
    Q_OBJECT
private slots:
    void stateSurvivesARestart() {
        QTemporaryDir dir;
        const QString db = dir.filePath("gateway.db");
        QString token;
        QString orderNo;
        {
            SandboxProcess sb({}, db);
            QVERIFY(sb.start());
            token = sb.login();
            orderNo = sb.charge(codes::withItems(2), 4000).value("out_trade_no").toString();
            sb.charge(codes::alipay, 123);
            QCOMPARE(
                sb.call("Account.Pay.refund",
                        {{"refundmoney", "2000"}, {"tradeno", orderNo}, {"cardno", "A02(20元),"}, {"pwd", "888888"}},
                        token)
                    .json.value("msg")
                    .toString(),
                QString("退款成功"));
            QCOMPARE(sb.call("Share.Ace.editPassword",
                             {{"uname", "demo"}, {"pword", "newpass1"}, {"re_password", "newpass1"}}, token)
                         .content()
                         .value("msg")
                         .toString(),
                     QString("修改成功"));
            const QString now = QString::number(QDateTime::currentSecsSinceEpoch());
            sb.call("Account.Print.logPrint", {{"time1", "0"}, {"time2", now}}, token);
            QCOMPARE(sb.stop(), 0);
        }
        SandboxProcess again({}, db);
        QVERIFY(again.start());
        // The earlier session's token still works; the seed was not repeated.
        const QJsonArray shops = again.call("Account.Shop.listShop", {}, token).content().value("listshop").toArray();
        QCOMPARE(shops.size(), 2);
        QVERIFY(again.login("demo", "demo123").isEmpty());
        QVERIFY(!again.login("demo", "newpass1").isEmpty());

        const QJsonObject list = again.call("Account.Pay.listPay", {{"p", "1"}}, token).content();
        QCOMPARE(list.value("total_count").toString(), QString("2"));
        QCOMPARE(list.value("total_fee").toString(), QString("4123"));
        QCOMPARE(list.value("total_rfee").toString(), QString("2000"));
        const QJsonArray cards =
            again.call("Account.Pay.cards", {{"no", orderNo}}, token).content().value("cards").toArray();
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[1].toObject().value("state").toString(), QString("1"));
        // The next order number does not collide with the old ones.
        const QString next = again.charge(codes::alipay, 1).value("out_trade_no").toString();
        QVERIFY(!next.isEmpty() && next != orderNo);
        // The shift now starts at the logged print, not at midnight.
        const QString time1 = again.call("Account.Print.prinTtime", {}, token).content().value("time1").toString();
        QVERIFY(time1 != QDateTime(QDate::currentDate(), QTime(0, 0)).toString("yyyy-MM-dd hh:mm:ss"));
        QCOMPARE(again.stop(), 0);
    }

    void busyPortIsReported() {
        SandboxProcess first;
        QVERIFY(first.start());
        QTemporaryDir dir;
        QProcess second;
        second.start(GATEWAY_SANDBOX_BIN, {"--port", QString::number(first.port()), "--db", dir.filePath("x.db")});
        QVERIFY(second.waitForFinished(5000));
        QVERIFY(second.exitCode() != 0);
        QVERIFY(second.readAllStandardError().contains("cannot listen"));
        QCOMPARE(first.stop(), 0);
    }
};

QTEST_GUILESS_MAIN(SandboxPersistence)
#include "tst_persistence.moc"

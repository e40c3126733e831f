// Every gateway action of the sandbox, driven over HTTP against a fresh database per test.
#include "sandbox_harness.h"

#include <QDateTime>
#include <QJsonArray>
#include <QSet>
#include <QtTest>

#include <thread>

class SandboxActions : public SandboxTestCase {
    Q_OBJECT

private:
    QString token;

    QJsonObject listPay(const SandboxProcess::Fields& extra, int page = 1) const {
        SandboxProcess::Fields f{{"page_num", "20"}, {"p", QString::number(page)}, {"ord", "desc"}};
        const QStringList names{"tradeno", "start_date", "end_date", "shopid", "cardno"};
        for (const QString& n : names) {
            QString v;
            for (const auto& [k, val] : extra) {
                if (k == n) {
                    v = val;
                }
            }
            f.append({n, v});
        }
        return sb->call("Account.Pay.listPay", f, token).content();
    }

    QJsonObject refund(const QString& tradeNo, qint64 fen, const QString& pwd = "888888",
                       const QString& cardno = {}) const {
        return sb
            ->call("Account.Pay.refund",
                   {{"refundmoney", QString::number(fen)}, {"tradeno", tradeNo}, {"cardno", cardno}, {"pwd", pwd}},
                   token)
            .json;
    }

private slots:
    void init() {
        SandboxTestCase::init();
        if (QTest::currentTestFailed()) {
            return;
        }
        token = sb->login();
        QVERIFY(!token.isEmpty());
    }

    void loginReplyHasTheTypesTheClientReads() {
        const auto r = sb->call("Share.Ace.login", {{"ticket", "1"}, {"uname", "demo"}, {"pword", "demo123"}});
        QCOMPARE(r.status, 200);
        const QJsonObject c = r.content();
        QVERIFY(c.value("code").isDouble());
        QCOMPARE(c.value("code").toInt(), 1);
        for (const char* key : {"token", "id", "uname", "rname", "company"}) {
            QVERIFY2(c.value(key).isString() && !c.value(key).toString().isEmpty(), key);
        }
        QVERIFY(c.value("token").toString() != token);  // every login gets its own token
        const QJsonArray tickets = c.value("ticket").toArray();
        QCOMPARE(tickets.size(), 3);
        for (const auto& t : tickets) {
            for (const char* key : {"id", "shopid", "price", "name", "status"}) {
                QVERIFY2(t.toObject().value(key).isString(), key);
            }
        }
        QCOMPARE(tickets[2].toObject().value("price").toString(), QString("12.5"));
    }

    void loginFailures_data() {
        QTest::addColumn<QString>("uname");
        QTest::addColumn<QString>("pword");
        QTest::newRow("wrong password") << "demo"
                                        << "demo124";
        QTest::newRow("unknown account") << "nobody"
                                         << "demo123";
        QTest::newRow("case matters") << "DEMO"
                                      << "demo123";
        QTest::newRow("empty password") << "demo"
                                        << "";
    }
    void loginFailures() {
        QFETCH(QString, uname);
        QFETCH(QString, pword);
        const auto r = sb->call("Share.Ace.login", {{"ticket", "1"}, {"uname", uname}, {"pword", pword}});
        QCOMPARE(r.status, 200);
        QCOMPARE(r.content().value("code").toInt(-1), 0);
        QVERIFY(!r.content().value("msg").toString().isEmpty());
        QVERIFY(!r.content().contains("token"));
    }

    void tokenActionsRefuseAWrongToken_data() {
        QTest::addColumn<QString>("action");
        for (const char* a : {"Account.Shop.listShop", "Account.Pay.listPay", "Account.Print.prinTtime",
                              "Account.Pay.cards", "Account.Pay.refund", "Share.Ace.getQuestion"}) {
            QTest::newRow(a) << a;
        }
    }
    void tokenActionsRefuseAWrongToken() {
        QFETCH(QString, action);
        const auto r = sb->call(action, {{"no", "x"}}, "0123456789abcdef0123456789abcdef");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("code").toInt(), 2);
        QVERIFY(r.json.value("msg").toString().contains("登录"));
        QCOMPARE(r.content().value("code").toInt(-1), 0);
        QVERIFY(!r.content().contains("listshop"));
        QVERIFY(!r.content().contains("refundquestion"));
        // No token at all is refused too.
        QCOMPARE(sb->call(action, {{"no", "x"}}).json.value("code").toInt(), 2);
    }

    void updateReportsTheStoredVersion() {
        auto c = sb->call("Share.App.update", {{"system", "pc"}}).content();
        QCOMPARE(c.value("code").toInt(), 1);
        QCOMPARE(c.value("version_code").toString(), QString(CASHIER_VERSION));
        QCOMPARE(sb->control("POST", "/__sandbox/version", R"({"system":"pc","version_code":"3.0.10"})").status, 200);
        c = sb->call("Share.App.update", {{"system", "pc"}}).content();
        QCOMPARE(c.value("version_code").toString(), QString("3.0.10"));
        QCOMPARE(sb->call("Share.App.update", {{"system", "android"}}).content().value("code").toInt(-1), 0);
    }

    // As the vendor's site: the new version it names, and its setup and signature from the folder it was given;
    // nothing else of that folder, and nothing above it.
    void servesTheNewVersionsFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");  // empty: 404
        QTest::newRow("setup") << "/cashier-setup-3.0.2.exe" << QByteArray("MZ setup");
        QTest::newRow("signature") << "/cashier-setup-3.0.2.exe.sig" << QByteArray(64, 's');
        QTest::newRow("package") << "/cashier_3.0.2_amd64.deb" << QByteArray("!<arch>");
        QTest::newRow("a version not there") << "/cashier-setup-3.0.3.exe" << QByteArray();
        QTest::newRow("another file of the folder") << "/notes.txt" << QByteArray();
        QTest::newRow("a name leading out") << "/cashier-setup-..%2Fdb.exe" << QByteArray();
    }
    void servesTheNewVersionsFiles() {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QTemporaryDir folder;
        const QList<QPair<QString, QByteArray>> files{{"cashier-setup-3.0.2.exe", "MZ setup"},
                                                      {"cashier-setup-3.0.2.exe.sig", QByteArray(64, 's')},
                                                      {"cashier_3.0.2_amd64.deb", "!<arch>"},
                                                      {"notes.txt", "private"}};
        for (const auto& file : files) {
            QFile f(folder.filePath(file.first));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(file.second);
        }
        SandboxProcess vendor({"--updates", folder.path(), "--offer-version", "3.0.2"});
        QVERIFY(vendor.start());
        QCOMPARE(vendor.call("Share.App.update", {{"system", "pc"}}).content().value("version_code").toString(),
                 QString("3.0.2"));
        const auto r = vendor.control("GET", path.toStdString());
        QCOMPARE(r.status, body.isEmpty() ? 404 : 200);
        if (!body.isEmpty()) {
            QCOMPARE(r.body, body);
        }
        QCOMPARE(vendor.stop(), 0);
    }

    void listShopGivesBothStores() {
        const QJsonArray shops = sb->call("Account.Shop.listShop", {}, token).content().value("listshop").toArray();
        QCOMPARE(shops.size(), 2);
        QVERIFY(shops[0].toObject().value("shopid").isString());
        QVERIFY(!shops[0].toObject().value("branch_name").toString().isEmpty());
        QCOMPARE(shops[1].toObject().value("branch_name").toString(), QString());
        QVERIFY(!shops[1].toObject().value("main_name").toString().isEmpty());
        // The second account sees only its own store.
        const QString other = sb->login("demo2", "demo2pwd");
        QCOMPARE(sb->call("Account.Shop.listShop", {}, other).content().value("listshop").toArray().size(), 1);
    }

    void chargeMoneyTypeFollowsTheChannel_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("channel");
        QTest::newRow("28 alipay") << "280000000000000001"
                                   << "ALIPAY";
        QTest::newRow("25 alipay") << "250123456789012345"
                                   << "ALIPAY";
        QTest::newRow("13 wechat") << "130000000000000001"
                                   << "WECHAT";
        QTest::newRow("10 wechat") << "101234567890123456"
                                   << "WECHAT";
    }
    void chargeMoneyTypeFollowsTheChannel() {
        QFETCH(QString, code);
        QFETCH(QString, channel);
        const QJsonObject c = sb->charge(code, 1234);
        QCOMPARE(c.value("msg").toString(), QString("成功"));
        QCOMPARE(c.value("pay_channel").toString(), channel);
        if (channel == "ALIPAY") {
            QVERIFY(c.value("money").isDouble());
            QCOMPARE(c.value("money").toInt(), 1234);
        } else {
            QCOMPARE(c.value("money").toString(), QString("1234"));
        }
        QCOMPARE(c.value("operator").toString(), QString("张三"));
        QVERIFY(!c.value("out_trade_no").toString().isEmpty());
        QVERIFY(!c.value("trade_no").toString().isEmpty());
        QVERIFY(c.value("tickets").isArray());
        QCOMPARE(c.value("tickets").toArray().size(), 0);
        QVERIFY(QDateTime::fromString(c.value("pay_date").toString(), "yyyy-MM-dd hh:mm:ss").isValid());
        QVERIFY(!c.value("shopname").toString().isEmpty());
    }

    void chargeRefusals_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("money");
        QTest::addColumn<QString>("shopid");
        QTest::addColumn<QString>("expected");
        QTest::newRow("insufficient funds") << codes::insufficient << "100"
                                            << "1"
                                            << "余额不足";
        QTest::newRow("empty code") << ""
                                    << "100"
                                    << "1"
                                    << "付款码";
        QTest::newRow("unknown prefix") << "990000000000000001"
                                        << "100"
                                        << "1"
                                        << "付款码";
        QTest::newRow("letters") << "28000000000000000x"
                                 << "100"
                                 << "1"
                                 << "付款码";
        QTest::newRow("zero money") << codes::alipay << "0"
                                    << "1"
                                    << "金额";
        QTest::newRow("money not a number") << codes::alipay << "12.5"
                                            << "1"
                                            << "金额";
        QTest::newRow("other merchant's store") << codes::alipay << "100"
                                                << "3"
                                                << "门店";
    }
    void chargeRefusals() {
        QFETCH(QString, code);
        QFETCH(QString, money);
        QFETCH(QString, shopid);
        QFETCH(QString, expected);
        const auto r =
            sb->call("Pay.Ace.scanpay", {{"auth_code", code}, {"money", money}, {"uid", "1"}, {"shopid", shopid}});
        const QString msg = r.content().value("msg").toString();
        QVERIFY(msg != "成功");
        QVERIFY2(msg.contains(expected), qPrintable(msg));
        QCOMPARE(listPay({}).value("total_count").toString(), QString("0"));
    }

    void ticketChargeListsEachTicket() {
        const auto r = sb->call(
            "Pay.Ace.ticketscanpay",
            {{"ticket", "1:2,3:1,"}, {"auth_code", codes::wechat}, {"money", "5250"}, {"uid", "1"}, {"shopid", "1"}});
        const QJsonObject c = r.content();
        QCOMPARE(c.value("msg").toString(), QString("成功"));
        const QJsonArray t = c.value("tickets").toArray();
        QCOMPARE(t.size(), 3);
        QCOMPARE(t[0].toObject().value("cardno").toString(), QString("成人票"));
        QCOMPARE(t[0].toObject().value("price").toString(), QString("20"));
        QCOMPARE(t[2].toObject().value("price").toString(), QString("12.5"));

        for (const QString& bad : {QString(""), QString("99:1,"), QString("1:0,"), QString("1-2,")}) {
            const auto refused = sb->call(
                "Pay.Ace.ticketscanpay",
                {{"ticket", bad}, {"auth_code", codes::wechat}, {"money", "100"}, {"uid", "1"}, {"shopid", "1"}});
            QVERIFY2(refused.content().value("msg").toString() != "成功", qPrintable(bad));
        }
    }

    void rawUtf8AndPercentEncodedBodiesAreTheSame() {
        const QByteArray raw =
            "version=3.0&action=Pay.Ace.ticketscanpay&ticket=1:1,&auth_code=" + codes::alipay.toUtf8() +
            "&money=2000&uid=1&shopid=1&";
        QCOMPARE(sb->post(raw).content().value("msg").toString(), QString("成功"));
        // Refund with a raw Chinese item text and with its percent-encoded form.
        const QString no = sb->charge(codes::withItems(2), 4000).value("out_trade_no").toString();
        const QByteArray rawRefund = "version=3.0&action=Account.Pay.refund&token=" + token.toUtf8() +
                                     "&refundmoney=2000&tradeno=" + no.toUtf8() + "&cardno=A01(20元),&pwd=888888&";
        QCOMPARE(sb->post(rawRefund).json.value("msg").toString(), QString("退款成功"));
        QCOMPARE(refund(no, 2000, "888888", "A02(20元),").value("msg").toString(), QString("退款成功"));
        // "+" is a blank, and a "%" that starts no escape stays as it is.
        const QString today = QDate::currentDate().toString("yyyy-M-d");
        const QByteArray plus = "version=3.0&action=Account.Pay.listPay&token=" + token.toUtf8() +
                                "&page_num=20&p=1&ord=desc&tradeno=&start_date=" + today.toUtf8() +
                                "+00:00:00&end_date=" + today.toUtf8() + "+23:59:59&shopid=&cardno=";
        QCOMPARE(sb->post(plus).content().value("total_count").toString(), QString("2"));
        QCOMPARE(sb->post(plus + "50%").content().value("total_count").toString(), QString("0"));
        // No trailing "&" is fine too.
        QCOMPARE(sb->post("version=3.0&action=Account.Shop.listShop&token=" + token.toUtf8()).status, 200);
    }

    void doprintRecordsKnownOrders() {
        const QString no = sb->charge(codes::alipay, 100).value("out_trade_no").toString();
        QCOMPARE(sb->call("Account.Print.doprint", {{"no", no}}, token).content().value("code").toInt(), 1);
        QCOMPARE(sb->call("Account.Print.doprint", {{"no", "nope"}}, token).content().value("code").toInt(-1), 0);
    }

    void listPayPagesFortyFiveTransactions() {
        QSet<QString> numbers;
        qint64 alipay = 0;
        qint64 wechat = 0;
        for (int i = 0; i < 45; ++i) {
            const bool ali = i % 3 != 0;  // 30 Alipay, 15 WeChat
            const qint64 fen = 100 + i;
            const QJsonObject c = sb->charge(ali ? codes::alipay : codes::wechat, fen, i < 40 ? "1" : "2");
            QCOMPARE(c.value("msg").toString(), QString("成功"));
            numbers.insert(c.value("out_trade_no").toString());
            (ali ? alipay : wechat) += fen;
        }
        QCOMPARE(numbers.size(), 45);

        const QJsonObject p1 = listPay({});
        QVERIFY(p1.value("total_page").isDouble());
        QCOMPARE(p1.value("total_page").toInt(), 3);
        QCOMPARE(p1.value("listpay").toArray().size(), 20);
        QCOMPARE(p1.value("total_count").toString(), QString("45"));
        QCOMPARE(p1.value("total_al").toString(), QString("30"));
        QCOMPARE(p1.value("total_wx").toString(), QString("15"));
        QCOMPARE(p1.value("alipay_tfee").toString(), QString::number(alipay));
        QCOMPARE(p1.value("wechat_tfee").toString(), QString::number(wechat));
        QCOMPARE(p1.value("total_fee").toString(), QString::number(alipay + wechat));
        QCOMPARE(p1.value("total_rfee").toString(), QString("0"));

        // Newest first across the pages, every transaction exactly once.
        QStringList seen;
        for (int page = 1; page <= 3; ++page) {
            const QJsonArray rows = listPay({}, page).value("listpay").toArray();
            QCOMPARE(rows.size(), page < 3 ? 20 : 5);
            for (const auto& row : rows) {
                const QJsonObject o = row.toObject();
                QVERIFY(o.value("money").isString());
                QVERIFY(o.value("refundfee").isString());
                seen << o.value("out_trade_no").toString();
            }
        }
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()), numbers);
        QStringList sorted = seen;
        std::sort(sorted.begin(), sorted.end(), std::greater<QString>());
        QCOMPARE(seen, sorted);
        QCOMPARE(listPay({}, 4).value("listpay").toArray().size(), 0);

        // Filters: store, order number, time range.
        QCOMPARE(listPay({{"shopid", "2"}}).value("total_count").toString(), QString("5"));
        QCOMPARE(listPay({{"tradeno", seen[7]}}).value("listpay").toArray().size(), 1);
        const QString tomorrow = QDate::currentDate().addDays(1).toString("yyyy-M-d");
        const QJsonObject none =
            listPay({{"start_date", tomorrow + " 00:00:00"}, {"end_date", tomorrow + " 23:59:59"}});
        QCOMPARE(none.value("total_count").toString(), QString("0"));
        QCOMPARE(none.value("total_page").toInt(-1), 0);
        const QString today = QDate::currentDate().toString("yyyy-M-d");
        QCOMPARE(listPay({{"start_date", today + " 00:00:00"}, {"end_date", today + " 23:59:59"}})
                     .value("total_count")
                     .toString(),
                 QString("45"));
        QCOMPARE(listPay({{"start_date", "not a date"}}).value("code").toInt(-1), 0);
    }

    void listPayFiltersByItemNumber() {
        const QString a = sb->charge(codes::withItems(3), 6000).value("out_trade_no").toString();
        const QString b = sb->charge(codes::alipay, 100).value("out_trade_no").toString();
        QCOMPARE(
            sb->control("POST", "/__sandbox/items",
                        QString(R"({"out_trade_no":"%1","items":[{"cardno":"房间808","price":100}]})").arg(b).toUtf8())
                .status,
            200);
        QJsonArray rows = listPay({{"cardno", "A02"}}).value("listpay").toArray();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].toObject().value("out_trade_no").toString(), a);
        QCOMPARE(rows[0].toObject().value("cardno").toString(), QString("A01,A02,A03"));
        rows = listPay({{"cardno", "房间808"}}).value("listpay").toArray();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].toObject().value("out_trade_no").toString(), b);
        QCOMPARE(sb->control("POST", "/__sandbox/items", R"({"out_trade_no":"none","items":[]})").status, 404);
    }

    void refundsAddUpAndStopAtTheOrder() {
        const QString no = sb->charge(codes::alipay, 1234).value("out_trade_no").toString();

        QJsonObject r = refund(no, 100, "000000");
        QCOMPARE(r.value("code").toInt(), 5);
        QVERIFY(r.value("msg").toString() != "退款成功");

        r = refund(no, 1235);
        QCOMPARE(r.value("code").toInt(), 0);
        QVERIFY(r.value("msg").toString().contains("超过"));

        QCOMPARE(refund(no, 1000).value("msg").toString(), QString("退款成功"));
        QJsonObject row = listPay({{"tradeno", no}}).value("listpay").toArray()[0].toObject();
        QCOMPARE(row.value("refundfee").toString(), QString("1000"));
        QCOMPARE(row.value("finalinfo").toString(), QString("部分退款"));

        QCOMPARE(refund(no, 235).value("code").toInt(), 0);  // 1000 + 235 > 1234
        QCOMPARE(refund(no, 234).value("msg").toString(), QString("退款成功"));
        QCOMPARE(refund(no, 1).value("code").toInt(), 0);
        row = listPay({{"tradeno", no}}).value("listpay").toArray()[0].toObject();
        QCOMPARE(row.value("refundfee").toString(), QString("1234"));
        QCOMPARE(row.value("finalinfo").toString(), QString("已退款,交易关闭"));
        QCOMPARE(listPay({}).value("total_rfee").toString(), QString("1234"));

        QCOMPARE(refund("unknown", 1).value("code").toInt(), 0);
        QCOMPARE(refund(no, 0).value("code").toInt(), 0);
    }

    void returnedItemsAreMarked() {
        const QString no = sb->charge(codes::withItems(3), 6000).value("out_trade_no").toString();
        QJsonObject c = sb->call("Account.Pay.cards", {{"no", no}}, token).content();
        QVERIFY(c.value("count").isDouble());
        QCOMPARE(c.value("count").toInt(), 3);
        QJsonArray cards = c.value("cards").toArray();
        QCOMPARE(cards[0].toObject().value("cardno").toString(), QString("A01"));
        QCOMPARE(cards[0].toObject().value("price").toString(), QString("20"));
        QCOMPARE(cards[0].toObject().value("state").toString(), QString("0"));

        QCOMPARE(refund(no, 4000, "888888", "A01(20元),A03(20元),").value("msg").toString(), QString("退款成功"));
        cards = sb->call("Account.Pay.cards", {{"no", no}}, token).content().value("cards").toArray();
        QCOMPARE(cards[0].toObject().value("state").toString(), QString("1"));
        QCOMPARE(cards[1].toObject().value("state").toString(), QString("0"));
        QCOMPARE(cards[2].toObject().value("state").toString(), QString("1"));
        // An item already returned, or one the order never had, is refused.
        QCOMPARE(refund(no, 100, "888888", "A01(20元),").value("code").toInt(), 0);
        QCOMPARE(refund(no, 100, "888888", "B99(20元),").value("code").toInt(), 0);

        c = sb->call("Account.Pay.cards", {{"no", "unknown"}}, token).content();
        QCOMPARE(c.value("count").toInt(-1), 0);
    }

    void shiftSummaryRunsFromTheLastLoggedPrint() {
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        QJsonObject t = sb->call("Account.Print.prinTtime", {}, token).content();
        QCOMPARE(t.value("time1").toString(),
                 QDateTime(QDate::currentDate(), QTime(0, 0)).toString("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(QDateTime::fromString(t.value("time2").toString(), "yyyy-MM-dd hh:mm:ss").toSecsSinceEpoch() >= start);

        sb->charge(codes::alipay, 1000);
        const QString w = sb->charge(codes::wechat, 500).value("out_trade_no").toString();
        QCOMPARE(sb->call("Pay.Ace.ticketscanpay", {{"ticket", "1:2,2:1,"},
                                                    {"auth_code", codes::alipay},
                                                    {"money", "5000"},
                                                    {"uid", "1"},
                                                    {"shopid", "1"}})
                     .content()
                     .value("msg")
                     .toString(),
                 QString("成功"));
        refund(w, 200);

        const QString t1 = QString::number(QDateTime(QDate::currentDate(), QTime(0, 0)).toSecsSinceEpoch());
        const QString t2 = QString::number(QDateTime::currentSecsSinceEpoch() + 1);
        const QJsonObject s = sb->call("Account.Pay.listSumTicket", {{"time1", t1}, {"time2", t2}}, token).content();
        QCOMPARE(s.value("allmoney").toString(), QString("6500"));
        QCOMPARE(s.value("refundmoney").toString(), QString("200"));
        QCOMPARE(s.value("ALIPAY").toObject().value("money").toString(), QString("6000"));
        QCOMPARE(s.value("ALIPAY").toObject().value("refundmoney").toString(), QString("0"));
        QCOMPARE(s.value("WECHAT").toObject().value("money").toString(), QString("500"));
        QCOMPARE(s.value("WECHAT").toObject().value("refundmoney").toString(), QString("200"));
        const QJsonArray tickets = s.value("tickets").toArray();
        QCOMPARE(tickets.size(), 2);
        QCOMPARE(tickets[0].toObject().value("cardno").toString(), QString("成人票"));
        QCOMPARE(tickets[0].toObject().value("sum").toString(), QString("40"));
        QCOMPARE(tickets[0].toObject().value("num").toString(), QString("2"));
        QCOMPARE(s.value("time1").toString(),
                 QDateTime::fromSecsSinceEpoch(t1.toLongLong()).toString("yyyy-MM-dd hh:mm:ss"));

        QCOMPARE(
            sb->call("Account.Print.logPrint", {{"time1", t1}, {"time2", t2}}, token).content().value("code").toInt(),
            1);
        t = sb->call("Account.Print.prinTtime", {}, token).content();
        const qint64 from =
            QDateTime::fromString(t.value("time1").toString(), "yyyy-MM-dd hh:mm:ss").toSecsSinceEpoch();
        QVERIFY(from >= start);
        QVERIFY(from <= QDateTime::currentSecsSinceEpoch());

        // A period before anything happened sums to zero.
        const QJsonObject empty =
            sb->call("Account.Pay.listSumTicket", {{"time1", "0"}, {"time2", "1000"}}, token).content();
        QCOMPARE(empty.value("allmoney").toString(), QString("0"));
        QCOMPARE(empty.value("tickets").toArray().size(), 0);
    }

    void loginPasswordChange() {
        auto edit = [&](const QString& uname, const QString& p, const QString& again) {
            return sb->call("Share.Ace.editPassword", {{"uname", uname}, {"pword", p}, {"re_password", again}}, token)
                .content()
                .value("msg")
                .toString();
        };
        QVERIFY(edit("demo", "abc123", "abc124").contains("不一致"));
        QVERIFY(edit("demo", "abc12", "abc12").contains("6"));
        QVERIFY(edit("demo", "abc 123", "abc 123").contains("字母"));
        QVERIFY(edit("demo2", "abc123", "abc123").contains("账号"));
        QCOMPARE(edit("demo", "abc123", "abc123"), QString("修改成功"));
        QVERIFY(sb->login("demo", "demo123").isEmpty());
        QVERIFY(!sb->login("demo", "abc123").isEmpty());
    }

    void refundPasswordChange() {
        auto change = [&](const QString& old, const QString& p, const QString& again) {
            return sb
                ->call("Share.Ace.editRefundPassword1",
                       {{"uname", "demo"}, {"pword", p}, {"re_password", again}, {"oldpwd", old}}, token)
                .content()
                .value("respType")
                .toString();
        };
        const QString before = change("111111", "654321", "654321");
        QVERIFY(!before.isEmpty() && before != "Success");
        QVERIFY(change("888888", "654321", "654320") != "Success");
        QVERIFY(change("888888", "65432", "65432") != "Success");
        QCOMPARE(change("888888", "654321", "654321"), QString("Success"));

        const QString no = sb->charge(codes::alipay, 500).value("out_trade_no").toString();
        QCOMPARE(refund(no, 100, "888888").value("code").toInt(), 5);
        QCOMPARE(refund(no, 100, "654321").value("msg").toString(), QString("退款成功"));
    }

    void refundPasswordResetByQuestion() {
        const QString question =
            sb->call("Share.Ace.getQuestion", {}, token).content().value("refundquestion").toString();
        QVERIFY(question.size() >= 6);
        auto reset = [&](const QString& action, const QString& q, const QString& answer, const QString& tok) {
            return sb
                ->call(action,
                       {{"uname", tok == token ? "demo" : "demo2"},
                        {"pword", "555555"},
                        {"re_password", "555555"},
                        {"answer", answer},
                        {"question", q}},
                       tok)
                .content()
                .value("respType")
                .toString();
        };
        QVERIFY(reset("Share.Ace.editRefundPassword", question, "上海", token) != "Success");
        QVERIFY(reset("Share.Ace.editRefundPassword", "别的问题别的问题", "杭州", token) != "Success");
        // An account that has a question cannot set a new one.
        QVERIFY(reset("Share.Ace.setRefundPassword", "新的问题新的问题", "答案", token) != "Success");
        QCOMPARE(reset("Share.Ace.editRefundPassword", question, "杭州", token), QString("Success"));
        const QString no = sb->charge(codes::alipay, 500).value("out_trade_no").toString();
        QCOMPARE(refund(no, 100, "555555").value("msg").toString(), QString("退款成功"));

        // The second account starts without question and refund password.
        const QString other = sb->login("demo2", "demo2pwd");
        QCOMPARE(sb->call("Share.Ace.getQuestion", {}, other).content().value("refundquestion").toString(), QString());
        QVERIFY(reset("Share.Ace.editRefundPassword", "我的问题是什么", "答案", other) != "Success");
        QVERIFY(reset("Share.Ace.setRefundPassword", "短问题", "答案", other) != "Success");
        QCOMPARE(reset("Share.Ace.setRefundPassword", "我的问题是什么", "答案", other), QString("Success"));
        QCOMPARE(sb->call("Share.Ace.getQuestion", {}, other).content().value("refundquestion").toString(),
                 QString("我的问题是什么"));
    }

    void badInputGetsAJsonFailure_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown action") << QByteArray("version=3.0&action=Share.Ace.logout&") << "未知";
        QTest::newRow("no action") << QByteArray("version=3.0&uname=demo") << "action";
        QTest::newRow("missing field") << QByteArray("version=3.0&action=Share.Ace.login&uname=demo") << "pword";
        QTest::newRow("not UTF-8") << QByteArray("version=3.0&action=Share.Ace.login&uname=%FF%FE&pword=x") << "UTF-8";
        QTest::newRow("empty body") << QByteArray() << "action";
        QTest::newRow("JSON body") << QByteArray(R"({"action":"Share.Ace.login"})") << "action";
    }
    void badInputGetsAJsonFailure() {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        const auto r = sb->post(body);
        QCOMPARE(r.status, 200);
        QVERIFY2(!r.json.isEmpty(), r.body.constData());
        QVERIFY(r.json.value("code").toInt() != 1);
        QVERIFY2(r.json.value("msg").toString().contains(expected), qPrintable(r.json.value("msg").toString()));
        QCOMPARE(r.content().value("code").toInt(-1), 0);
        // The server is still there.
        QVERIFY(!sb->login().isEmpty());
    }

    void otherMethodsAndPaths() {
        const auto get = sb->control("GET", "/api.php/Gateway/index");
        QCOMPARE(get.status, 405);
        QVERIFY(!get.json.isEmpty());
        const auto missing = sb->control("GET", "/api.php/Other");
        QCOMPARE(missing.status, 404);
        QVERIFY(!missing.json.isEmpty());
        QCOMPARE(sb->control("POST", "/__sandbox/faults", "not json").status, 400);
        QCOMPARE(sb->control("POST", "/__sandbox/faults", R"({"mode":"explode"})").status, 400);
    }

    void requestLogKeepsRawBodiesInOrder() {
        QCOMPARE(sb->control("DELETE", "/__sandbox/requests").status, 200);
        const QByteArray first = "version=3.0&action=Share.App.update&system=pc";
        const QByteArray second = "version=3.0&action=Account.Pay.cards&token=" + token.toUtf8() + "&no=A%2008&";
        sb->post(first);
        sb->post(second);
        const QJsonArray log = sb->control("GET", "/__sandbox/requests").json.value("requests").toArray();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].toObject().value("body").toString().toUtf8(), first);
        QCOMPARE(log[1].toObject().value("body").toString().toUtf8(), second);
        QCOMPARE(log[1].toObject().value("action").toString(), QString("Account.Pay.cards"));
        QVERIFY(log[0].toObject().value("seq").toInt() < log[1].toObject().value("seq").toInt());
        const auto only = sb->control("GET", "/__sandbox/requests?action=Share.App.update");
        QCOMPARE(only.json.value("requests").toArray().size(), 1);
    }

    void logLinesMaskSecrets() {
        sb->charge(codes::alipay, 100);
        sb->call("Share.Ace.editRefundPassword1",
                 {{"uname", "demo"}, {"pword", "s3cretA"}, {"re_password", "s3cretA"}, {"oldpwd", "888888"}}, token);
        const QByteArray log = sb->log();
        QVERIFY(log.contains("action=Share.Ace.login"));
        QVERIFY(log.contains("pword=***"));
        QVERIFY(log.contains("auth_code=***"));
        for (const QByteArray& secret : {QByteArray("demo123"), codes::alipay.toUtf8(), QByteArray("s3cretA"),
                                         QByteArray("888888"), token.toUtf8()}) {
            QVERIFY2(!log.contains(secret), secret.constData());
        }
        // One line per gateway request: the login of init(), the charge and the change.
        QCOMPARE(log.count("POST /api.php/Gateway/index"), 3);
    }

    void concurrentChargesAllLand() {
        constexpr int threads = 4;
        constexpr int each = 25;
        std::vector<std::thread> pool;
        std::atomic<int> ok{0};
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&] {
                for (int i = 0; i < each; ++i) {
                    if (sb->charge(codes::wechat, 100).value("msg").toString() == "成功") {
                        ++ok;
                    }
                }
            });
        }
        for (auto& th : pool) {
            th.join();
        }
        QCOMPARE(ok.load(), threads * each);
        const QJsonObject p = listPay({});
        QCOMPARE(p.value("total_count").toString(), QString::number(threads * each));
        QCOMPARE(p.value("wechat_tfee").toString(), QString::number(threads * each * 100));
    }
};

QTEST_GUILESS_MAIN(SandboxActions)
#include "tst_actions.moc"

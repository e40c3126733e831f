// Every action's reader, row by row: the gateway's usual reply, a refusal, a body that is no JSON, an envelope
// without the field the action needs, values of the wrong JSON type, and what an oversize body becomes.
#include "app/shown.h"
#include "gateway/httpfun.h"
#include "gateway/replies.h"

#include <QtTest>

using namespace replies;

namespace {

constexpr int kSuccess = int(Verdict::Success);
constexpr int kRefused = int(Verdict::Refused);
constexpr int kUnusable = int(Verdict::Unusable);

gateway::Reply replyOf(const QByteArray& body) {
    if (body == "NOTSENT") {
        return gateway::readReply(HttpFun::Ending::NotSent, 0, false, QByteArray());
    }
    if (body == "UNKNOWN") {
        return gateway::readReply(HttpFun::Ending::Unknown, 0, false, QByteArray());
    }
    // An oversize body reaches the reader as HttpFun reports it: a failure after sending, without the bytes.
    if (body == "OVERSIZE") {
        return gateway::readReply(HttpFun::Ending::Unknown, 200, false, QByteArray());
    }
    return gateway::readReply(HttpFun::Ending::Answered, 200, true, body);
}

QString yuanOf(std::optional<qint64> fen) {
    return fen ? QString::number(*fen) : QStringLiteral("?");
}

// What a reader made of a reply: its verdict and, on success, the value in short.
struct Seen {
    Status status;
    QString value;
};

Seen read(const QString& reader, const gateway::Reply& r) {
    if (reader == "login") {
        const auto l = login(r);
        QStringList tickets;
        for (const TicketType& t : l.value.tickets) {
            tickets << QStringLiteral("%1:%2:%3").arg(t.id).arg(t.name).arg(t.priceFen);
        }
        return {l.status, l.value.info.token + "|" + l.value.info.id + "|" + l.value.info.rname + "|" +
                              tickets.join(',') + "|" + QString::number(l.value.unpricedTickets)};
    }
    if (reader == "version") {
        const auto v = versionOffer(r);
        return {v.status, v.value.versionCode};
    }
    if (reader == "shops") {
        const auto s = shopList(r);
        QStringList shops;
        for (const Shop& shop : s.value) {
            shops << shop.shopid + ":" + shop.mainName + ":" + shop.branchName;
        }
        return {s.status, shops.join(',')};
    }
    if (reader == "listing") {
        const auto p = listing(r);
        QStringList rows;
        for (const Order& o : p.value.rows) {
            rows << o.tradeNo + ":" + yuanOf(o.fen) + ":" + yuanOf(o.refundFen);
        }
        return {p.status,
                QStringLiteral("%1|%2|%3|").arg(p.value.totalCount, yuanOf(p.value.totalFen)).arg(p.value.totalPage) +
                    rows.join(',')};
    }
    if (reader == "printtime") {
        const auto t = printTime(r);
        return {t.status, t.value.time1 + "|" + t.value.time2};
    }
    if (reader == "totals") {
        const auto t = totals(r);
        return {t.status, yuanOf(t.value.allFen) + "|" + yuanOf(t.value.alipayFen) + "|" +
                              QString::number(t.value.tickets.size())};
    }
    if (reader == "printlog") {
        return {printLogged(r), QString()};
    }
    if (reader == "items") {
        const auto i = items(r);
        QStringList texts;
        for (const CardItem& item : i.value.items) {
            texts << item.cardno + (item.returned ? "*" : "");
        }
        return {i.status, QString::number(i.value.count) + "|" + texts.join(',')};
    }
    if (reader == "password") {
        const Status s = passwordChange(r);
        return {s, QString()};
    }
    if (reader == "refundpassword") {
        return {refundPasswordChange(r), QString()};
    }
    if (reader == "question") {
        const auto q = question(r);
        return {q.status, q.value};
    }
    if (reader == "charge") {
        const ChargeResult c = charge(r);
        Status s;
        s.verdict = c.outcome == Outcome::Paid      ? Verdict::Success
                    : c.outcome == Outcome::Refused ? Verdict::Refused
                                                    : Verdict::Unusable;
        s.message = c.message;
        const QString outcome[] = {"paid", "refused", "unknown", "notsent"};
        return {s, outcome[int(c.outcome)] + "|" + yuanOf(c.sale.fen) + "|" + c.sale.orderNo()};
    }
    if (reader == "refunded") {
        return {listing(r).status, yuanOf(refundedOfOrder(r, "O1"))};
    }
    if (reader == "refund") {
        const RefundResult f = refund(r);
        Status s;
        s.verdict = f.outcome == Outcome::Paid      ? Verdict::Success
                    : f.outcome == Outcome::Refused ? Verdict::Refused
                                                    : Verdict::Unusable;
        s.message = f.outcome == Outcome::Paid ? QString() : f.message;
        const QString outcome[] = {"paid", "refused", "unknown", "notsent"};
        return {s, outcome[int(f.outcome)] + (f.wrongPassword ? "|code5" : "")};
    }
    qFatal("no reader %s", qPrintable(reader));
}

}  // namespace

class TestReplies : public QObject {
    Q_OBJECT

private slots:
    void readers_data();
    void readers();
    void amounts_data();
    void amounts();
    void shownCutsLongTexts();
};

void TestReplies::readers_data() {
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("value");  // checked on success only

    // login
    QTest::newRow("login: signed in, exact prices")
        << "login" << QByteArray(R"({"content":{"code":1,"token":"T","id":"5","rname":"张三","ticket":[
               {"id":"3","price":"0.285","name":"成人票"},{"id":"4","price":"x","name":"坏"}]}})")
        << kSuccess << ""
        << "T|5|张三|3:成人票:29|1";
    QTest::newRow("login: refused") << "login" << QByteArray(R"({"content":{"code":0,"msg":"密码错误"}})") << kRefused
                                    << "密码错误"
                                    << "";
    QTest::newRow("login: not json") << "login" << QByteArray("<html>") << kUnusable << ""
                                     << "";
    QTest::newRow("login: code 1 without token")
        << "login" << QByteArray(R"({"content":{"code":1}})") << kUnusable << ""
        << "";
    QTest::newRow("login: code as text") << "login" << QByteArray(R"({"content":{"code":"1","token":"T"}})")
                                         << kUnusable << ""
                                         << "";
    QTest::newRow("login: numbers for text")
        << "login" << QByteArray(R"({"content":{"code":1,"token":77,"id":5,"ticket":[
                                                    {"id":3,"price":6,"name":"票"}]}})")
        << kSuccess << ""
        << "77|5||3:票:600|0";
    QTest::newRow("login: oversize") << "login" << QByteArray("OVERSIZE") << kUnusable << ""
                                     << "";

    // version
    QTest::newRow("version: offered") << "version" << QByteArray(R"({"content":{"code":1,"version_code":"3.0.2"}})")
                                      << kSuccess << ""
                                      << "3.0.2";
    QTest::newRow("version: nothing to report")
        << "version" << QByteArray(R"({"content":{"code":0,"version_code":"9.9"}})") << kSuccess << ""
        << "";
    QTest::newRow("version: no code") << "version" << QByteArray(R"({"content":{"version_code":"9.9"}})") << kUnusable
                                      << ""
                                      << "";
    QTest::newRow("version: number for text")
        << "version" << QByteArray(R"({"content":{"code":1,"version_code":3.1}})") << kSuccess << ""
        << "";
    QTest::newRow("version: not sent") << "version" << QByteArray("NOTSENT") << kUnusable << ""
                                       << "";

    // store list
    QTest::newRow("shops: two") << "shops" << QByteArray(R"({"content":{"listshop":[{"shopid":"1","main_name":"岚舟",
                                       "branch_name":"西湖店"},{"shopid":2,"main_name":"岚舟","branch_name":[]}]}})")
                                << kSuccess << ""
                                << "1:岚舟:西湖店,2:岚舟:";
    QTest::newRow("shops: none") << "shops" << QByteArray(R"({"content":{"listshop":[]}})") << kSuccess << ""
                                 << "";
    QTest::newRow("shops: refused") << "shops" << QByteArray(R"({"code":2,"content":{"msg":"token无效"}})") << kRefused
                                    << "token无效"
                                    << "";
    QTest::newRow("shops: no list") << "shops" << QByteArray(R"({"content":{"listshop":{}}})") << kUnusable << ""
                                    << "";
    QTest::newRow("shops: not json") << "shops" << QByteArray("[1]") << kUnusable << ""
                                     << "";

    // listing
    QTest::newRow("listing: a page") << "listing"
                                     << QByteArray(
                                            R"({"code":1,"content":{"total_count":"2","total_fee":"1250","total_page":1,
               "listpay":[{"trade_no":"T1","money":"1000","refundfee":"0"},{"trade_no":"T2","money":250}]}})")
                                     << kSuccess << ""
                                     << "2|1250|1|T1:1000:0,T2:250:?";
    QTest::newRow("listing: expired token")
        << "listing" << QByteArray(R"({"code":2,"msg":"token无效","content":{"code":0,"msg":"登录已过期"}})")
        << kRefused << "登录已过期"
        << "";
    QTest::newRow("listing: not json") << "listing" << QByteArray("oops") << kUnusable << ""
                                       << "";
    QTest::newRow("listing: no rows, no codes: an empty page")
        << "listing" << QByteArray(R"({"content":{}})") << kSuccess << ""
        << "|?|0|";
    QTest::newRow("listing: wrong types") << "listing" << QByteArray(R"({"content":{"total_count":2,"total_fee":"12.5",
                                                 "total_page":"3","listpay":[{"trade_no":1,"money":"x"}]}})")
                                          << kSuccess << ""
                                          << "2|?|0|1:?:?";
    QTest::newRow("listing: unknown") << "listing" << QByteArray("UNKNOWN") << kUnusable << ""
                                      << "";

    // print time
    QTest::newRow("printtime: period") << "printtime"
                                       << QByteArray(R"({"content":{"time1":"2026-12-07 08:00:00","time2":""}})")
                                       << kSuccess << ""
                                       << "2026-12-07 08:00:00|";
    QTest::newRow("printtime: refused") << "printtime" << QByteArray(R"({"content":{"msg":"无记录"}})") << kRefused
                                        << "无记录"
                                        << "";
    QTest::newRow("printtime: numbers") << "printtime" << QByteArray(R"({"content":{"time1":1.5,"time2":{}}})")
                                        << kUnusable << ""
                                        << "";

    // totals
    QTest::newRow("totals: a period") << "totals"
                                      << QByteArray(R"({"content":{"allmoney":"-300","ALIPAY":{"money":1250},
                                             "tickets":[{"cardno":"成人票","sum":"40","num":"2"}]}})")
                                      << kSuccess << ""
                                      << "-300|1250|1";
    QTest::newRow("totals: refused") << "totals" << QByteArray(R"({"content":{"code":0,"msg":"token无效"}})")
                                     << kRefused << "token无效"
                                     << "";
    QTest::newRow("totals: no allmoney") << "totals" << QByteArray(R"({"content":{"refundmoney":"0"}})") << kUnusable
                                         << ""
                                         << "";
    QTest::newRow("totals: allmoney not fen")
        << "totals" << QByteArray(R"({"content":{"allmoney":"12.50"}})") << kUnusable << ""
        << "";
    QTest::newRow("totals: oversize") << "totals" << QByteArray("OVERSIZE") << kUnusable << ""
                                      << "";

    // print log
    QTest::newRow("printlog: recorded") << "printlog" << QByteArray(R"({"code":1,"content":{"code":1}})") << kSuccess
                                        << ""
                                        << "";
    QTest::newRow("printlog: refused") << "printlog" << QByteArray(R"({"code":3,"msg":"时间格式错误"})") << kRefused
                                       << "时间格式错误"
                                       << "";

    // items
    QTest::newRow("items: two") << "items" << QByteArray(R"({"content":{"count":2,"cards":[{"cardno":"A08","state":"1"},
                                       {"cardno":"A09","state":0}]}})")
                                << kSuccess << ""
                                << "2|A08*,A09";
    QTest::newRow("items: refused") << "items" << QByteArray(R"({"content":{"msg":"订单不存在"}})") << kRefused
                                    << "订单不存在"
                                    << "";
    QTest::newRow("items: count as text") << "items" << QByteArray(R"({"content":{"count":"2"}})") << kUnusable << ""
                                          << "";

    // login password
    QTest::newRow("password: changed") << "password" << QByteArray(R"({"code":1,"content":{"msg":"修改成功"}})")
                                       << kSuccess << "修改成功"
                                       << "";
    QTest::newRow("password: refused") << "password" << QByteArray(R"({"code":0,"content":{"msg":"原密码错误"}})")
                                       << kRefused << "原密码错误"
                                       << "";
    QTest::newRow("password: not json") << "password" << QByteArray("<") << kUnusable << ""
                                        << "";

    // refund password
    QTest::newRow("refundpassword: Success")
        << "refundpassword" << QByteArray(R"({"content":{"respType":"Success"}})") << kSuccess << ""
        << "";
    QTest::newRow("refundpassword: refused")
        << "refundpassword" << QByteArray(R"({"content":{"respType":"答案错误"}})") << kRefused << "答案错误"
        << "";
    QTest::newRow("refundpassword: number")
        << "refundpassword" << QByteArray(R"({"content":{"respType":1}})") << kUnusable << ""
        << "";

    // question
    QTest::newRow("question: stored") << "question" << QByteArray(R"({"content":{"refundquestion":"小学校名"}})")
                                      << kSuccess << ""
                                      << "小学校名";
    QTest::newRow("question: none") << "question" << QByteArray(R"({"content":{}})") << kSuccess << ""
                                    << "";
    QTest::newRow("question: refused") << "question" << QByteArray(R"({"content":{"msg":"token无效"}})") << kRefused
                                       << "token无效"
                                       << "";
    QTest::newRow("question: number") << "question" << QByteArray(R"({"content":{"refundquestion":5}})") << kUnusable
                                      << ""
                                      << "";

    // charge: the value is the outcome, then the amount and order of a paid one
    QTest::newRow("charge: paid") << "charge"
                                  << QByteArray(R"({"content":{"msg":"成功","money":"1250","out_trade_no":"O1"}})")
                                  << kSuccess << ""
                                  << "paid|1250|O1";
    // A refusal only in known words; anything else, however it sounds, may hide a payment and is looked up.
    const QList<QPair<const char*, const char*>> refusals{{"charge: refused", "余额不足"},
                                                          {"charge: refusal that says 失败", "用户余额不足，支付失败"},
                                                          {"charge: code expired", "付款码已过期，请刷新"},
                                                          {"charge: over the limit", "超过单笔限额"},
                                                          {"charge: wallet password", "支付密码错误"},
                                                          {"charge: English code", "NOTENOUGH"}};
    for (const auto& [name, msg] : refusals) {
        QTest::newRow(name) << "charge" << (QByteArray(R"({"content":{"msg":")") + msg + R"("}})") << kRefused
                            << QString::fromUtf8(msg) << "refused|?|";
    }
    for (const char* msg : {"支付成功", "成功 ", "用户支付中", "等待用户输入密码", "订单处理中", "请输入密码",
                            "系统繁忙，请稍后再试", "未知错误", "交易已受理", "USERPAYING", "SYSTEMERROR", "交易未成功",
                            "扣款不成功", "余额不足，系统繁忙", "交易出错了"}) {
        QTest::newRow(qPrintable(QStringLiteral("charge: %1 is unknown").arg(QString::fromUtf8(msg))))
            << "charge" << (QByteArray(R"({"content":{"msg":")") + msg + R"("}})") << kUnusable
            << QString::fromUtf8(msg) << "unknown|?|";
    }
    QTest::newRow("charge: no msg is unknown") << "charge" << QByteArray(R"({"content":{"code":1}})") << kUnusable << ""
                                               << "unknown|?|";
    QTest::newRow("charge: no content is unknown") << "charge" << QByteArray(R"({"msg":"成功"})") << kUnusable << ""
                                                   << "unknown|?|";
    QTest::newRow("charge: not json is unknown") << "charge" << QByteArray("<html>") << kUnusable << ""
                                                 << "unknown|?|";
    QTest::newRow("charge: msg a number") << "charge" << QByteArray(R"({"content":{"msg":1}})") << kUnusable << ""
                                          << "unknown|?|";
    QTest::newRow("charge: not sent") << "charge" << QByteArray("NOTSENT") << kUnusable << ""
                                      << "notsent|?|";
    QTest::newRow("charge: unknown") << "charge" << QByteArray("UNKNOWN") << kUnusable << ""
                                     << "unknown|?|";

    // refund
    QTest::newRow("refund: done") << "refund" << QByteArray(R"({"code":1,"msg":"退款成功"})") << kSuccess << ""
                                  << "paid";
    QTest::newRow("refund: refused") << "refund" << QByteArray(R"({"code":0,"msg":"余额不足"})") << kRefused
                                     << "余额不足"
                                     << "refused";
    QTest::newRow("refund: wrong password")
        << "refund" << QByteArray(R"({"code":5,"msg":"退款密码错误"})") << kRefused << "退款密码错误"
        << "refused|code5";
    QTest::newRow("refund: in progress is unknown")
        << "refund" << QByteArray(R"({"code":0,"msg":"退款处理中"})") << kUnusable << "退款处理中"
        << "unknown";
    QTest::newRow("refund: success in other words is unknown")
        << "refund" << QByteArray(R"({"code":0,"msg":"成功"})") << kUnusable << "成功"
        << "unknown";
    QTest::newRow("refund: no msg") << "refund" << QByteArray(R"({"code":1})") << kUnusable << ""
                                    << "unknown";
    QTest::newRow("refund: not json") << "refund" << QByteArray("x") << kUnusable << ""
                                      << "unknown";
    QTest::newRow("refund: oversize") << "refund" << QByteArray("OVERSIZE") << kUnusable << ""
                                      << "unknown";
    QTest::newRow("refund: not sent") << "refund" << QByteArray("NOTSENT") << kUnusable << ""
                                      << "notsent";

    // what an order has refunded, before a refund and in its look-up: never 0 when it cannot be read
    const auto refundedRow = [](const char* field) {
        return QByteArray(R"({"content":{"listpay":[{"out_trade_no":"O2","refundfee":"100"},{"out_trade_no":"O1")") +
               field + "}]}}";
    };
    QTest::newRow("refunded: field left out") << "refunded" << refundedRow("") << kSuccess << ""
                                              << "0";
    QTest::newRow("refunded: empty") << "refunded" << refundedRow(R"(,"refundfee":"")") << kSuccess << ""
                                     << "0";
    QTest::newRow("refunded: amount") << "refunded" << refundedRow(R"(,"refundfee":"5000")") << kSuccess << ""
                                      << "5000";
    QTest::newRow("refunded: unreadable") << "refunded" << refundedRow(R"(,"refundfee":"5o.00")") << kSuccess << ""
                                          << "?";
    QTest::newRow("refunded: order not listed")
        << "refunded" << QByteArray(R"({"content":{"listpay":[{"out_trade_no":"O2"}]}})") << kSuccess << ""
        << "?";
}

void TestReplies::readers() {
    QFETCH(QString, reader);
    QFETCH(QByteArray, body);
    QFETCH(int, verdict);
    QFETCH(QString, message);
    QFETCH(QString, value);
    const Seen seen = read(reader, replyOf(body));
    QCOMPARE(int(seen.status.verdict), verdict);
    QCOMPARE(seen.status.message, message);
    if (verdict == kSuccess || reader == "charge" || reader == "refund" || reader == "refunded") {
        QCOMPARE(seen.value, value);
    }
}

void TestReplies::amounts_data() {
    QTest::addColumn<QByteArray>("value");  // the JSON value of "money"
    QTest::addColumn<QString>("fen");       // "?" when it is not an amount
    QTest::newRow("digits") << QByteArray(R"("1250")") << "1250";
    QTest::newRow("number") << QByteArray("1250") << "1250";
    QTest::newRow("zero") << QByteArray(R"("0")") << "0";
    QTest::newRow("yuan text") << QByteArray(R"("12.50")") << "?";
    QTest::newRow("fraction of a fen") << QByteArray("12.5") << "?";
    QTest::newRow("negative") << QByteArray("-1") << "?";
    QTest::newRow("empty") << QByteArray(R"("")") << "?";
    QTest::newRow("null") << QByteArray("null") << "?";
    QTest::newRow("absurd") << QByteArray("1e300") << "?";
}

void TestReplies::amounts() {
    QFETCH(QByteArray, value);
    QFETCH(QString, fen);
    const QJsonObject o = QJsonDocument::fromJson(R"({"money":)" + value + "}").object();
    QCOMPARE(yuanOf(replies::fen(o, "money")), fen);
}

void TestReplies::shownCutsLongTexts() {
    const QString big(400 * 1024, QChar(0x6D88));
    const QString cut = display::shown(big);
    QCOMPARE(cut.size(), display::kShownChars + 1);
    QCOMPARE(cut.back(), QChar(0x2026));
    QCOMPARE(display::shown(QStringLiteral("<b>短</b>")), QStringLiteral("<b>短</b>"));
}

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"

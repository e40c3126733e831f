// Request bodies, reply readers and the request client against a real local HTTP server.
#include "app/dataconfig.h"
#include "gateway/actions.h"
#include "gateway/gatewayclock.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayurl.h"
#include "gateway/httpfun.h"
#include "gateway/reply.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <httplib.h>

class TestGateway : public QObject {
    Q_OBJECT
private slots:
    void bodies_data();
    void bodies();
    void awkwardValuesSurviveTheTrip();
    void redaction_data();
    void redaction();
    void replyReaders();
    void replyRedaction_data();
    void replyRedaction();
    void readReply_data();
    void readReply();
    void callEndings();
    void paidFen_data();
    void paidFen();
    void client_data();
    void client();
    void clientTimeout();
    void clientConnectionRefused();
    void clientUpperCaseHttps();
    void clientDoesNotFollowRedirects();
    void cleartextToOtherHost_data();
    void cleartextToOtherHost();
    void gatewayClock_data();
    void gatewayClock();
    void clockWarningNamesTheZone_data();
    void clockWarningNamesTheZone();
};

void TestGateway::gatewayClock_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("localMs");   // this PC's time at the midpoint of the request
    QTest::addColumn<qint64>("offsetMs");  // -1: not a date
    QTest::addColumn<bool>("warned");
    const QByteArray date = "Tue, 08 Dec 2026 09:00:00 GMT";
    const qint64 at = QDateTime(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC).toMSecsSinceEpoch() + 500;
    QTest::newRow("clocks agree") << date << at << qint64(0) << false;
    QTest::newRow("PC five minutes ahead") << date << at + 300000 << qint64(-300000) << true;
    QTest::newRow("PC two minutes behind: not yet told") << date << at - 120000 << qint64(120000) << false;
    QTest::newRow("PC three minutes behind") << date << at - 180000 << qint64(180000) << true;
    QTest::newRow("RFC 850 form") << QByteArray("Tuesday, 08-Dec-26 09:00:00 GMT") << at << qint64(0) << false;
    QTest::newRow("asctime form") << QByteArray("Tue Dec  8 09:00:00 2026") << at << qint64(0) << false;
    QTest::newRow("no header") << QByteArray() << at << qint64(-1) << false;
    QTest::newRow("not a date") << QByteArray("yesterday") << at << qint64(-1) << false;
}

void TestGateway::gatewayClock() {
    QFETCH(QByteArray, header);
    QFETCH(qint64, localMs);
    QFETCH(qint64, offsetMs);
    QFETCH(bool, warned);
    gateway::Clock clock;
    const qint64 mono = gateway::monotonicMs();
    clock.noteDate(header, localMs - 40, localMs + 40, mono - 40, mono + 40);
    const std::optional<qint64> offset = clock.offsetMs();
    QCOMPARE(offset.value_or(-1), offsetMs);
    QCOMPARE(!clock.warning(8 * 3600).isEmpty(), warned);
    if (offset) {
        // "Now" runs on from the header on the monotonic clock, not on this PC's (which the row makes up).
        const qint64 server = gateway::parseHttpDate(header).toMSecsSinceEpoch() + 500;
        const qint64 drift = clock.now().toMSecsSinceEpoch() - (server + gateway::monotonicMs() - mono);
        QVERIFY2(drift >= -1 && drift <= 1, qPrintable(QString::number(drift)));
    }
}

// A PC whose wall clock shows the gateway's time in the wrong zone is told of its zone, not of minutes.
void TestGateway::clockWarningNamesTheZone_data() {
    QTest::addColumn<qint64>("offsetMs");
    QTest::addColumn<int>("pcZoneSecs");
    QTest::addColumn<QString>("expectedPart");  // "" = no warning
    const qint64 hour = 3600 * 1000;
    QTest::newRow("UTC zone, Beijing wall clock") << -8 * hour << 0 << "UTC+0";
    QTest::newRow("UTC zone, Beijing wall clock, a minute off") << -8 * hour + 60000 << 0 << "UTC+0";
    QTest::newRow("right zone, five minutes fast") << qint64(-300000) << 8 * 3600 << "快";
    QTest::newRow("right zone and clock") << qint64(1000) << 8 * 3600 << "";
    QTest::newRow("UTC zone, clock right for UTC") << qint64(0) << 0 << "";
    QTest::newRow("India's zone, Beijing wall clock") << -(5 * hour / 2) << 19800 << "UTC+5:30";
}

void TestGateway::clockWarningNamesTheZone() {
    QFETCH(qint64, offsetMs);
    QFETCH(int, pcZoneSecs);
    QFETCH(QString, expectedPart);
    const QString text = gateway::clockWarning(offsetMs, pcZoneSecs, 8 * 3600);
    QCOMPARE(text.isEmpty(), expectedPart.isEmpty());
    QVERIFY2(text.contains(expectedPart), qPrintable(text));
}

void TestGateway::bodies_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");
    const QString tok = "T0k";
    QTest::newRow("login") << requests::login("demo", "demo123").bytes()
                           << QByteArray("version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123");
    QTest::newRow("update") << requests::update().bytes()
                            << QByteArray("version=3.0&action=Share.App.update&system=pc");
    QTest::newRow("listShop") << requests::listShop(tok).bytes()
                              << QByteArray("version=3.0&action=Account.Shop.listShop&token=T0k");
    QTest::newRow("scanpay") << requests::scanPay("2812345678", 1250, "7", "101").bytes()
                             << QByteArray(
                                    "version=3.0&action=Pay.Ace.scanpay&auth_code=2812345678&money=1250&uid=7&"
                                    "shopid=101&");
    QTest::newRow("ticketscanpay") << requests::ticketScanPay("3:2,7:1,", "1312345678", 5000, "7", "101").bytes()
                                   << QByteArray(
                                          "version=3.0&action=Pay.Ace.ticketscanpay&ticket=3%3A2%2C7%3A1%2C&"
                                          "auth_code=1312345678&money=5000&uid=7&shopid=101&");
    QTest::newRow("doprint") << requests::doPrint(tok, "P2026120700001").bytes()
                             << QByteArray("version=3.0&action=Account.Print.doprint&token=T0k&no=P2026120700001&");
    QTest::newRow("listPay")
        << requests::listPay(tok, 2, "", "2026-12-6 00:00:00", "2026-12-6 23:59:59", "101", "").bytes()
        << QByteArray(
               "version=3.0&action=Account.Pay.listPay&token=T0k&page_num=20&p=2&ord=desc&"
               "tradeno=&start_date=2026-12-6%2000%3A00%3A00&"
               "end_date=2026-12-6%2023%3A59%3A59&shopid=101&cardno=");
    QTest::newRow("prinTtime") << requests::printTime(tok).bytes()
                               << QByteArray("version=3.0&action=Account.Print.prinTtime&token=T0k&");
    QTest::newRow("listSumTicket") << requests::listSumTicket(tok, 1765065600, 1765099999).bytes()
                                   << QByteArray(
                                          "version=3.0&action=Account.Pay.listSumTicket&token=T0k&"
                                          "time1=1765065600&time2=1765099999&");
    QTest::newRow("logPrint") << requests::logPrint(tok, 1, 2).bytes()
                              << QByteArray("version=3.0&action=Account.Print.logPrint&token=T0k&time1=1&time2=2&");
    QTest::newRow("refund") << requests::refund(tok, 1250, "P1", "A08(20元),", "123456").bytes()
                            << QByteArray(
                                   "version=3.0&action=Account.Pay.refund&token=T0k&refundmoney=1250&"
                                   "tradeno=P1&cardno=A08%2820%E5%85%83%29%2C&pwd=123456&");
    QTest::newRow("cards") << requests::cards(tok, "P1").bytes()
                           << QByteArray("version=3.0&action=Account.Pay.cards&token=T0k&no=P1&");
    QTest::newRow("editPassword") << requests::editPassword(tok, "demo", "newpw1", "newpw1").bytes()
                                  << QByteArray(
                                         "version=3.0&action=Share.Ace.editPassword&token=T0k&uname=demo&"
                                         "pword=newpw1&re_password=newpw1&");
    QTest::newRow("editRefundPassword1")
        << requests::editRefundPassword1(tok, "demo", "654321", "654321", "123456").bytes()
        << QByteArray(
               "version=3.0&action=Share.Ace.editRefundPassword1&token=T0k&uname=demo&pword=654321&"
               "re_password=654321&oldpwd=123456&");
    QTest::newRow("getQuestion") << requests::getQuestion(tok).bytes()
                                 << QByteArray("version=3.0&action=Share.Ace.getQuestion&token=T0k&");
    QTest::newRow("setRefundPassword")
        << requests::setRefundPassword(tok, "demo", "654321", "654321", "blue", "favourite").bytes()
        << QByteArray(
               "version=3.0&action=Share.Ace.setRefundPassword&token=T0k&uname=demo&pword=654321&"
               "re_password=654321&answer=blue&question=favourite&");
    QTest::newRow("editRefundPassword")
        << requests::editRefundPassword(tok, "demo", "654321", "654321", "blue", "favourite").bytes()
        << QByteArray(
               "version=3.0&action=Share.Ace.editRefundPassword&token=T0k&uname=demo&pword=654321&"
               "re_password=654321&answer=blue&question=favourite&");
}

void TestGateway::bodies() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(body, expected);
}

void TestGateway::awkwardValuesSurviveTheTrip() {
    // What the server decodes must be exactly what was typed, and no extra pairs may appear.
    testsupport::TempWorkDir dir;
    testsupport::StubGateway server;
    const QString awkward = QStringLiteral("A&B=C+D E 房间/号%");
    server.setReply("{}");
    HttpFun* http = new HttpFun;
    QSignalSpy spy(http, &HttpFun::signal_requestFinished);
    http->post(server.url(), requests::refund("t", 100, "P1", awkward, "p&w=d").bytes());
    QVERIFY(spy.wait(5000));
    const QByteArray body = server.bodies().value(0);
    // version, action, token, refundmoney, tradeno, cardno, pwd: seven pairs, each closed by "&".
    QCOMPARE(body.count('&'), 7);
    QCOMPARE(testsupport::formValue(body, "cardno"), awkward);
    QCOMPARE(testsupport::formValue(body, "pwd"), QString("p&w=d"));
    // And through a real form parser too.
    httplib::Params params;
    httplib::detail::parse_query_text(body.toStdString(), params);
    QCOMPARE(QString::fromStdString(params.find("cardno")->second), awkward);
    QCOMPARE(params.count("D E"), size_t(0));
}

void TestGateway::redaction_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("login") << requests::login("demo", "demo123").bytes()
                           << QByteArray("version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=***");
    QTest::newRow("charge") << requests::scanPay("2812345678", 1250, "7", "101").bytes()
                            << QByteArray(
                                   "version=3.0&action=Pay.Ace.scanpay&auth_code=***&money=1250&uid=7&"
                                   "shopid=101&");
    QTest::newRow("refund") << requests::refund("tok", 1, "P1", "", "123456").bytes()
                            << QByteArray(
                                   "version=3.0&action=Account.Pay.refund&token=***&refundmoney=1&tradeno=P1&"
                                   "cardno=&pwd=***&");
    QTest::newRow("question") << requests::setRefundPassword("tok", "u", "a", "b", "c", "q").bytes()
                              << QByteArray(
                                     "version=3.0&action=Share.Ace.setRefundPassword&token=***&uname=u&"
                                     "pword=***&re_password=***&answer=***&question=q&");
    QTest::newRow("old refund pwd") << requests::editRefundPassword1("tok", "u", "a", "b", "c").bytes()
                                    << QByteArray(
                                           "version=3.0&action=Share.Ace.editRefundPassword1&token=***&"
                                           "uname=u&pword=***&re_password=***&oldpwd=***&");
}

void TestGateway::redaction() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(RequestBody::redactFormBody(body), expected);
}

void TestGateway::replyReaders() {
    const QJsonObject root = reply::parse(R"({"msg":"退款成功","code":5,"content":{"code":"1","total_page":3}})");
    QCOMPARE(reply::content(root).value("total_page").toInt(), 3);
    // Not JSON, an array, or a content that is not an object: all read as empty objects.
    QVERIFY(reply::content(QByteArray("<html>")).isEmpty());
    QVERIFY(reply::content(QByteArray("[1,2]")).isEmpty());
    QVERIFY(reply::content(QByteArray(R"({"content":[1]})")).isEmpty());
    QVERIFY(reply::content(QByteArray(R"({"content":"x"})")).isEmpty());
    QVERIFY(reply::content(QByteArray()).isEmpty());
}

void TestGateway::replyRedaction_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("login token") << QByteArray(R"({"content":{"code":1,"token":"s3cr3t","uname":"demo"}})")
                                 << QByteArray(R"({"content":{"code":1,"token":"***","uname":"demo"}})");
    QTest::newRow("deep in an array") << QByteArray(R"({"content":{"list":[{"answer":"杭州","id":"1"}]}})")
                                      << QByteArray(R"({"content":{"list":[{"answer":"***","id":"1"}]}})");
    QTest::newRow("number-valued secret")
        << QByteArray(R"({"pwd":123456,"auth_code":28})") << QByteArray(R"({"auth_code":"***","pwd":"***"})");
    QTest::newRow("nothing secret") << QByteArray(R"({"msg":"成功"})") << QByteArray(R"({"msg":"成功"})");
    QTest::newRow("not JSON: only its size")
        << QByteArray("<html>token=abc</html>") << QByteArray("(22 bytes, not JSON)");
    QTest::newRow("cut short") << QByteArray(R"({"token":"abc)") << QByteArray("(13 bytes, not JSON)");
}

void TestGateway::replyRedaction() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, logged);
    QCOMPARE(reply::redactedForLog(reply), logged);
}

void TestGateway::readReply_data() {
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("kind");
    const int answered = int(HttpFun::Ending::Answered);
    QTest::newRow("envelope") << answered << 200 << QByteArray(R"({"content":{}})") << int(gateway::Reply::Envelope);
    QTest::newRow("html page") << answered << 200 << QByteArray("<html>") << int(gateway::Reply::NotEnvelope);
    QTest::newRow("empty body") << answered << 200 << QByteArray() << int(gateway::Reply::NotEnvelope);
    QTest::newRow("array") << answered << 200 << QByteArray("[1]") << int(gateway::Reply::NotEnvelope);
    QTest::newRow("cut JSON") << answered << 200 << QByteArray(R"({"content":{"msg":"成)")
                              << int(gateway::Reply::NotEnvelope);
    QTest::newRow("500 with JSON") << answered << 500 << QByteArray("{}") << int(gateway::Reply::NotEnvelope);
    QTest::newRow("never sent") << int(HttpFun::Ending::NotSent) << 0 << QByteArray() << int(gateway::Reply::NotSent);
    QTest::newRow("unknown") << int(HttpFun::Ending::Unknown) << 0 << QByteArray("timeout")
                             << int(gateway::Reply::Unknown);
}

void TestGateway::readReply() {
    QFETCH(int, ending);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, kind);
    const gateway::Reply r = gateway::readReply(HttpFun::Ending(ending), status, status == 200, body);
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.ok(), kind == gateway::Reply::Envelope);
}

void TestGateway::callEndings() {
    // Through the call helper: a refused connection was never sent; a time-out may have been carried out.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    const QString refusing = QString("http://127.0.0.1:%1/api.php/Gateway/index").arg(port);
    QList<gateway::Reply> replies;
    QObject receiver;
    gateway::Clock clock;
    const gateway::Link toRefusing([&] { return refusing; }, clock);
    toRefusing.post(&receiver, requests::update(), [&](const gateway::Reply& r) { replies.append(r); });
    QTRY_COMPARE(replies.size(), 1);
    QCOMPARE(int(replies.last().kind), int(gateway::Reply::NotSent));

    testsupport::StubGateway slow;
    slow.setHandler([](const QByteArray&) { return testsupport::StubGateway::Response{200, "{}", 1000}; });
    const gateway::Link toSlow([&] { return slow.url(); }, clock);
    toSlow.post(
        &receiver, requests::update(), [&](const gateway::Reply& r) { replies.append(r); }, 200);
    QTRY_COMPARE(replies.size(), 2);
    QCOMPARE(int(replies.last().kind), int(gateway::Reply::Unknown));
    // A receiver that is gone hears nothing.
    auto* gone = new QObject;
    toSlow.post(gone, requests::update(), [&](const gateway::Reply& r) { replies.append(r); });
    delete gone;
    QVERIFY(slow.waitForAnswers());
    QVERIFY(slow.roundTrip());  // its answer has come back by now
    QCOMPARE(replies.size(), 2);
}

void TestGateway::paidFen_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("fen");  // -1: not an amount
    // One rule for every channel: fen as a JSON number or as digits in text.
    QTest::newRow("alipay number") << QByteArray(R"({"pay_channel":"ALIPAY","money":1234})") << qint64(1234);
    QTest::newRow("alipay text") << QByteArray(R"({"pay_channel":"ALIPAY","money":"1234"})") << qint64(1234);
    QTest::newRow("wechat text") << QByteArray(R"({"pay_channel":"WECHAT","money":"5250"})") << qint64(5250);
    QTest::newRow("wechat number") << QByteArray(R"({"pay_channel":"WECHAT","money":5250})") << qint64(5250);
    QTest::newRow("no channel") << QByteArray(R"({"money":"7"})") << qint64(7);
    QTest::newRow("yuan text") << QByteArray(R"({"pay_channel":"WECHAT","money":"52.50"})") << qint64(-1);
    QTest::newRow("a fraction of a fen") << QByteArray(R"({"pay_channel":"ALIPAY","money":12.5})") << qint64(-1);
    // A number no amount can be: beyond 64 bits its conversion used to be undefined.
    QTest::newRow("alipay huge") << QByteArray(R"({"pay_channel":"ALIPAY","money":12e34})") << qint64(-1);
    QTest::newRow("alipay beyond amounts") << QByteArray(R"({"pay_channel":"ALIPAY","money":1e15})") << qint64(-1);
}

void TestGateway::paidFen() {
    QFETCH(QByteArray, content);
    QFETCH(qint64, fen);
    const Order sale = replies::saleOf(QJsonDocument::fromJson(content).object());
    QCOMPARE(sale.fen.value_or(-1), fen);
    QCOMPARE(sale.alipay(), content.contains("ALIPAY"));
}

void TestGateway::client_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::newRow("200 empty") << 200 << QByteArray() << true;
    QTest::newRow("200 json") << 200 << QByteArray(R"({"content":{"code":1}})") << true;
    QTest::newRow("500 json") << 500 << QByteArray(R"({"msg":"boom"})") << false;
    QTest::newRow("404") << 404 << QByteArray("not here") << false;
    // A reply no action needs: refused as a reply that never came (for money, an unknown outcome), not read.
    QTest::newRow("above the size limit") << 200 << QByteArray(HttpFun::kMaxReplyBytes + 1, ' ') << false;
}

void TestGateway::client() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    testsupport::TempWorkDir dir;
    testsupport::StubGateway server;
    server.setReply(body, status);
    QPointer<HttpFun> http = new HttpFun;
    QSignalSpy spy(http.data(), &HttpFun::signal_requestFinished);
    HttpFun::Ending ending = HttpFun::Ending::NotSent;
    connect(http.data(), &HttpFun::signal_requestFinished, this, [&] { ending = http->ending(); });
    http->post(server.url(), requests::update().bytes());
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), success);
    if (body.size() > HttpFun::kMaxReplyBytes) {
        QCOMPARE(spy.at(0).at(1).toByteArray(), QByteArray("reply too large"));
        QCOMPARE(ending, HttpFun::Ending::Unknown);
        QTRY_VERIFY(http.isNull());
        return;
    }
    QCOMPARE(spy.at(0).at(1).toByteArray(), body);
    QCOMPARE(server.bodies().value(0), QByteArray("version=3.0&action=Share.App.update&system=pc"));
    // The object releases itself after its one signal: nothing more can come from it.
    QTRY_VERIFY(http.isNull());
    QCOMPARE(spy.count(), 1);
}

void TestGateway::clientTimeout() {
    testsupport::TempWorkDir dir;
    testsupport::StubGateway server;
    server.setHandler([](const QByteArray&) { return testsupport::StubGateway::Response{200, "{}", 1500}; });
    QPointer<HttpFun> http = new HttpFun;
    QCOMPARE(http->timeoutInterval(), 30000);
    http->setTimeoutInterval(200);
    QSignalSpy spy(http.data(), &HttpFun::signal_requestFinished);
    http->post(server.url(), requests::update().bytes());
    QVERIFY(spy.wait(3000));
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QCOMPARE(spy.at(0).at(1).toByteArray(), QByteArray("timeout"));
    QTRY_VERIFY(http.isNull());
    // The late answer is never reported.
    QVERIFY(server.waitForAnswers());
    QVERIFY(server.roundTrip());
    QCOMPARE(spy.count(), 1);
}

void TestGateway::clientConnectionRefused() {
    testsupport::TempWorkDir dir;
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QPointer<HttpFun> http = new HttpFun;
    QSignalSpy spy(http.data(), &HttpFun::signal_requestFinished);
    http->post(QString("http://127.0.0.1:%1/api.php/Gateway/index").arg(port), requests::update().bytes());
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QVERIFY(spy.at(0).at(1).toByteArray().isEmpty());
    QTRY_VERIFY(http.isNull());
    QCOMPARE(spy.count(), 1);
}

void TestGateway::clientUpperCaseHttps() {
    // A plain HTTP server behind an HTTPS URL: the TLS handshake must be attempted (and fail), which shows the
    // scheme was recognised whatever its case. Verification stays on, so this can never report success.
    testsupport::TempWorkDir dir;
    testsupport::StubGateway server;
    server.setReply(R"({"content":{"code":1}})");
    HttpFun* http = new HttpFun;
    QSignalSpy spy(http, &HttpFun::signal_requestFinished);
    http->post(QString("HTTPS://127.0.0.1:%1/api.php/Gateway/index").arg(server.port()), requests::update().bytes());
    QVERIFY(spy.wait(8000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QVERIFY(server.bodies().isEmpty());
}

void TestGateway::clientDoesNotFollowRedirects() {
    testsupport::TempWorkDir dir;
    testsupport::StubGateway target;
    target.setReply(R"({"content":{"code":1}})");
    httplib::Server redirector;
    const std::string location = target.url().toStdString();
    redirector.Post("/api.php/Gateway/index", [&](const httplib::Request&, httplib::Response& res) {
        res.status = 307;
        res.set_header("Location", location);
        res.set_content("moved", "text/plain");
    });
    const int port = redirector.bind_to_any_port("127.0.0.1");
    std::thread t([&] { redirector.listen_after_bind(); });
    HttpFun* http = new HttpFun;
    QSignalSpy spy(http, &HttpFun::signal_requestFinished);
    http->post(QString("http://127.0.0.1:%1/api.php/Gateway/index").arg(port), requests::update().bytes());
    QVERIFY(spy.wait(5000));
    redirector.stop();
    t.join();
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QCOMPARE(spy.at(0).at(1).toByteArray(), QByteArray("moved"));
    QVERIFY(target.bodies().isEmpty());
}

void TestGateway::cleartextToOtherHost_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("warned");
    QTest::newRow("the local sandbox") << "http://127.0.0.1:8765/api.php/Gateway/index" << false;
    QTest::newRow("another loopback address") << "http://127.8.9.10/api.php/Gateway/index" << false;
    QTest::newRow("localhost") << "http://LocalHost:8765/api.php/Gateway/index" << false;
    QTest::newRow("IPv6 loopback") << "http://[::1]:8765/api.php/Gateway/index" << false;
    QTest::newRow("https elsewhere") << "https://pay.example.com/api.php/Gateway/index" << false;
    QTest::newRow("HTTPS in capitals") << "HTTPS://pay.example.com/api.php/Gateway/index" << false;
    QTest::newRow("http by name") << "http://pay.example.com/api.php/Gateway/index" << true;
    QTest::newRow("http in capitals") << "HTTP://pay.example.com/api.php/Gateway/index" << true;
    QTest::newRow("http to a shop's server") << "http://192.168.1.20/api.php/Gateway/index" << true;
    QTest::newRow("http to an IPv6 address") << "http://[2001:db8::1]/api.php/Gateway/index" << true;
    QTest::newRow("a name that only starts like loopback") << "http://127.0.0.1.example.com/" << true;
    QTest::newRow("with blanks around") << "  http://192.0.2.1/api.php/Gateway/index " << true;
}

void TestGateway::cleartextToOtherHost() {
    QFETCH(QString, url);
    QFETCH(bool, warned);
    QCOMPARE(isCleartextToOtherHost(url), warned);
}

QTEST_MAIN(TestGateway)
#include "tst_gateway.moc"

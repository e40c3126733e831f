// Fault injection of the sandbox: each mode seen from a plain HTTP client, per action, from the control
// endpoint and from the command line.
#include "sandbox_harness.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <future>

namespace {
const QByteArray kUpdate = "version=3.0&action=Share.App.update&system=pc";
}

class SandboxFaults : public SandboxTestCase {
    Q_OBJECT

private:
    void addFault(const QByteArray& json) {
        const auto r = sb->control("POST", "/__sandbox/faults", json);
        QVERIFY2(r.status == 200, r.body.constData());
    }
    QString versionCode() const { return sb->post(kUpdate).content().value("version_code").toString(); }
    // How many version checks the sandbox has received (it logs a request before any fault holds it).
    int updatesReceived() const {
        return sb->control("GET", "/__sandbox/requests?action=Share.App.update")
            .json.value("requests")
            .toArray()
            .size();
    }

private slots:
    void delayHoldsTheAnswer() {
        addFault(R"({"action":"Share.App.update","mode":"delay","ms":400})");
        QElapsedTimer t;
        t.start();
        QCOMPARE(versionCode(), QString("3.0.1"));
        QVERIFY(t.elapsed() >= 400);
    }

    void statusAndBody() {
        addFault(R"({"action":"Share.App.update","mode":"status","status":503,"body":"maintenance"})");
        const auto r = sb->post(kUpdate);
        QCOMPARE(r.status, 503);
        QCOMPARE(r.body, QByteArray("maintenance"));
    }

    void bodyThatIsNotJson() {
        addFault(R"({"action":"Share.App.update","mode":"notjson"})");
        const auto r = sb->post(kUpdate);
        QCOMPARE(r.status, 200);
        QJsonParseError err{};
        QJsonDocument::fromJson(r.body, &err);
        QVERIFY(err.error != QJsonParseError::NoError);
        QVERIFY(!r.body.isEmpty());
    }

    void truncatedJsonStillChargesTheCustomer() {
        addFault(R"({"action":"Pay.Ace.scanpay","mode":"truncate"})");
        const auto r = sb->post(SandboxProcess::body(
            "Pay.Ace.scanpay", {{"auth_code", codes::alipay}, {"money", "100"}, {"uid", "1"}, {"shopid", "1"}}));
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.startsWith("{"));
        QVERIFY(r.json.isEmpty());
        const QString token = sb->login();
        const auto list = sb->call("Account.Pay.listPay", {{"p", "1"}}, token).content();
        QCOMPARE(list.value("total_count").toString(), QString("1"));
    }

    void cutMidBodyIsATransportError() {
        addFault(R"({"action":"Share.App.update","mode":"cut"})");
        const auto r = sb->post(kUpdate);
        QVERIFY(r.error != 0 || r.json.isEmpty());
    }

    void resetIsATransportError() {
        addFault(R"({"action":"Share.App.update","mode":"reset"})");
        const auto r = sb->post(kUpdate);
        QCOMPARE(r.status, 0);
        QVERIFY(r.error != 0);
        QCOMPARE(sb->post(kUpdate).error, r.error);  // the rule stays until cleared
        QCOMPARE(sb->control("DELETE", "/__sandbox/faults").status, 200);
        QCOMPARE(versionCode(), QString("3.0.1"));
    }

    void resetAfterApplyingLosesOnlyTheReply() {
        addFault(R"({"action":"Pay.Ace.scanpay","mode":"reset","apply":true,"times":1})");
        QVERIFY(sb->charge(codes::wechat, 700).isEmpty());
        QCOMPARE(sb->charge(codes::wechat, 300).value("msg").toString(), QString("成功"));
        const auto list = sb->call("Account.Pay.listPay", {{"p", "1"}}, sb->login()).content();
        QCOMPARE(list.value("total_count").toString(), QString("2"));
        QCOMPARE(list.value("wechat_tfee").toString(), QString("1000"));
    }

    void hangDoesNotBlockOthersAndEndsWhenCleared() {
        addFault(R"({"action":"Share.App.update","mode":"hang"})");
        const int before = updatesReceived();
        QElapsedTimer t;
        t.start();
        auto hung = std::async(std::launch::async, [this] { return sb->post(kUpdate, 20000); });
        // Several more hung requests, then ordinary ones still answer at once.
        std::vector<std::future<SandboxProcess::Reply>> more;
        for (int i = 0; i < 4; ++i) {
            more.push_back(std::async(std::launch::async, [this] { return sb->post(kUpdate, 20000); }));
        }
        QTRY_COMPARE_WITH_TIMEOUT(updatesReceived(), before + 5, 10000);  // all of them are being held
        QVERIFY(!sb->login().isEmpty());
        QVERIFY(hung.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout);

        QCOMPARE(sb->control("DELETE", "/__sandbox/faults").status, 200);
        const auto r = hung.get();
        QCOMPARE(r.status, 0);  // dropped, never answered
        for (auto& f : more) {
            QCOMPARE(f.get().status, 0);
        }
        QVERIFY(t.elapsed() < 10000);
        QCOMPARE(versionCode(), QString("3.0.1"));
    }

    void hangEndsWhenTheServerStops() {
        const int before = updatesReceived();
        addFault(R"({"action":"*","mode":"hang"})");
        auto hung = std::async(std::launch::async, [this] { return sb->post(kUpdate, 30000); });
        QTRY_COMPARE_WITH_TIMEOUT(updatesReceived(), before + 1, 10000);  // the request is being held
        QElapsedTimer t;
        t.start();
        QCOMPARE(sb->stop(), 0);
        // Well short of the 30 s the hung request would otherwise wait, with room for a slow sanitizer build.
        QVERIFY(t.elapsed() < 15000);
        QCOMPARE(hung.get().status, 0);
        QVERIFY(sb->start());  // for cleanup()
    }

    void faultsHitOnlyTheirActionAndCount() {
        addFault(R"([{"action":"Share.Ace.login","mode":"status","status":500,"times":2}])");
        QCOMPARE(versionCode(), QString("3.0.1"));
        const QByteArray login = "version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123";
        QCOMPARE(sb->post(login).status, 500);
        QCOMPARE(sb->control("GET", "/__sandbox/faults").json.value("faults").toArray().size(), 1);
        QCOMPARE(sb->post(login).status, 500);
        QCOMPARE(sb->post(login).status, 200);
        QCOMPARE(sb->control("GET", "/__sandbox/faults").json.value("faults").toArray().size(), 0);
    }

    void customerStillEnteringThePassword() {
        // The harness starts the sandbox with a 1.5 s wait (the default outlasts the client's 30 s time-out).
        QElapsedTimer t;
        t.start();
        const auto r =
            sb->post(SandboxProcess::body(
                         "Pay.Ace.scanpay",
                         {{"auth_code", codes::waitsForPassword}, {"money", "800"}, {"uid", "1"}, {"shopid", "1"}}),
                     500);
        QCOMPARE(r.status, 0);  // the client gave up
        const QString token = sb->login();
        QVERIFY(!token.isEmpty());
        // The customer did pay in the end.
        auto listed = [&] { return sb->call("Account.Pay.listPay", {{"p", "1"}}, token).content(); };
        QTRY_COMPARE_WITH_TIMEOUT(listed().value("total_count").toString(), QString("1"), 10000);
        const auto list = listed();
        QCOMPARE(list.value("wechat_tfee").toString(), QString("800"));
    }
};

// Faults given on the command line, active from the first request.
class SandboxFaultOption : public QObject {
    Q_OBJECT
private slots:
    void commandLineFaults() {
        SandboxProcess sb({"--fault", "Share.App.update=status:502", "--fault", "Share.Ace.login=delay:300"});
        QVERIFY(sb.start());
        QCOMPARE(sb.post(kUpdate).status, 502);
        QElapsedTimer t;
        t.start();
        QVERIFY(!sb.login().isEmpty());
        QVERIFY(t.elapsed() >= 300);
        QCOMPARE(sb.stop(), 0);
    }
    void badFaultOptionIsRefused() {
        SandboxProcess sb({"--fault", "Share.App.update=explode"});
        QVERIFY(!sb.start());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SandboxFaults faults;
    SandboxFaultOption option;
    return QTest::qExec(&faults, argc, argv) | QTest::qExec(&option, argc, argv);
}
#include "tst_faults.moc"

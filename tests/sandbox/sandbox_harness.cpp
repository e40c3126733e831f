#include "sandbox_harness.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>

SandboxProcess::SandboxProcess(QStringList extraArgs, QString dbPath)
    : dir_(std::make_unique<QTemporaryDir>()), extraArgs_(std::move(extraArgs)), dbPath_(std::move(dbPath)) {
    if (dbPath_.isEmpty()) {
        dbPath_ = dir_->filePath("gateway.db");
    }
    logPath_ = dir_->filePath("sandbox.log");
}

SandboxProcess::~SandboxProcess() {
    if (process_.state() != QProcess::NotRunning) {
        stop(3000);
    }
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

bool SandboxProcess::start() {
    QStringList args{"--port", "0", "--db", dbPath_, "--password-wait-ms", "1500"};
    args += extraArgs_;
    process_.setStandardErrorFile(logPath_, QIODevice::Append);
    process_.start(GATEWAY_SANDBOX_BIN, args);
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    // The first line of stdout names the port it bound.
    QByteArray out;
    QDeadlineTimer deadline(10000);
    static const QRegularExpression portRe(":(\\d+)/api\\.php");
    while (!deadline.hasExpired() && !out.contains('\n')) {
        if (!process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        out += process_.readAllStandardOutput();
    }
    const auto m = portRe.match(QString::fromUtf8(out));
    port_ = m.hasMatch() ? m.captured(1).toInt() : 0;
    return port_ > 0;
}

int SandboxProcess::stop(int waitMs) {
    if (process_.state() == QProcess::NotRunning) {
        return process_.exitCode();
    }
    process_.terminate();
    if (!process_.waitForFinished(waitMs)) {
        return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QByteArray SandboxProcess::log() const {
    QFile f(logPath_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {
SandboxProcess::Reply toReply(const httplib::Result& r) {
    SandboxProcess::Reply reply;
    reply.error = static_cast<int>(r.error());
    if (r) {
        reply.status = r->status;
        reply.body = QByteArray::fromStdString(r->body);
        reply.json = QJsonDocument::fromJson(reply.body).object();
    }
    return reply;
}
}  // namespace

SandboxProcess::Reply SandboxProcess::post(const QByteArray& body, int readTimeoutMs) const {
    httplib::Client cli("127.0.0.1", port_);
    cli.set_read_timeout(std::chrono::milliseconds(readTimeoutMs));
    return toReply(cli.Post("/api.php/Gateway/index", body.toStdString(), "application/x-www-form-urlencoded"));
}

QByteArray SandboxProcess::body(const QString& action, const Fields& fields, const QString& token) {
    QByteArray b = "version=3.0&action=" + action.toUtf8() + "&";
    if (!token.isEmpty()) {
        b += "token=" + QUrl::toPercentEncoding(token) + "&";
    }
    for (const auto& [name, value] : fields) {
        b += name.toUtf8() + "=" + QUrl::toPercentEncoding(value) + "&";
    }
    return b;
}

SandboxProcess::Reply SandboxProcess::call(const QString& action, const Fields& fields, const QString& token) const {
    return post(body(action, fields, token));
}

SandboxProcess::Reply SandboxProcess::control(const std::string& method, const std::string& path,
                                              const QByteArray& json) const {
    httplib::Client cli("127.0.0.1", port_);
    cli.set_read_timeout(std::chrono::seconds(10));
    if (method == "GET") {
        return toReply(cli.Get(path.c_str()));
    }
    if (method == "DELETE") {
        return toReply(cli.Delete(path.c_str()));
    }
    return toReply(cli.Post(path.c_str(), json.toStdString(), "application/json"));
}

QString SandboxProcess::login(const QString& uname, const QString& pword) const {
    return call("Share.Ace.login", {{"ticket", "1"}, {"uname", uname}, {"pword", pword}})
        .content()
        .value("token")
        .toString();
}

QJsonObject SandboxProcess::charge(const QString& code, qint64 fen, const QString& shopid) const {
    return call("Pay.Ace.scanpay",
                {{"auth_code", code}, {"money", QString::number(fen)}, {"uid", "1"}, {"shopid", shopid}})
        .content();
}

void SandboxTestCase::init() {
    sb = std::make_unique<SandboxProcess>();
    QVERIFY(sb->start());
}

void SandboxTestCase::cleanup() {
    QCOMPARE(sb->stop(), 0);
    sb.reset();
}

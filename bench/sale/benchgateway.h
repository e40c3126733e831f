#pragma once

// What the benches that talk to a sandbox share: starting one, posting and waiting, signing in as demo.
#include "core/till.h"
#include "gateway/httpfun.h"
#include "gateway/replies.h"
#include "gateway/requests.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

namespace bench {

// Posts `body` to the till's gateway and returns the raw reply once it came.
inline QByteArray postAndWait(Till& till, const RequestBody& body) {
    QByteArray bytes;
    QEventLoop loop;
    auto* http = new HttpFun;
    QObject::connect(http, &HttpFun::signal_requestFinished, &loop, [&](bool, const QByteArray& b) {
        bytes = b;
        loop.quit();
    });
    http->post(till.gatewayUrl(), body.bytes());
    loop.exec();
    return bytes;
}

// Starts `program` on a free port with its database at `dbPath` and points the till's settings at it.
inline bool startSandbox(Till& till, QProcess& sandbox, const QString& program, const QString& dbPath) {
    sandbox.setProgram(program);
    sandbox.setArguments({"--port", "0", "--db", dbPath, "--quiet"});
    sandbox.start();
    if (!sandbox.waitForReadyRead(10000)) {
        std::fprintf(stderr, "gateway-sandbox did not start (%s)\n", qPrintable(program));
        return false;
    }
    const QString first = QString::fromUtf8(sandbox.readLine()).trimmed();
    QRegularExpressionMatch port = QRegularExpression(QStringLiteral(":(\\d+)")).match(first);
    if (!port.hasMatch()) {
        port = QRegularExpression(QStringLiteral("(\\d+)\\s*$")).match(first);
    }
    if (!port.hasMatch()) {
        std::fprintf(stderr, "cannot read the sandbox port from: %s\n", qPrintable(first));
        return false;
    }
    till.settings().setGatewayUrl(QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(port.captured(1)));
    return true;
}

// Signs in as the demo account and chooses store 1.
inline bool signInDemo(Till& till) {
    const QJsonObject root =
        QJsonDocument::fromJson(postAndWait(till, requests::login(QStringLiteral("demo"), QStringLiteral("demo123"))))
            .object();
    const QJsonObject login = root.value(QLatin1String("content")).toObject();
    till.session().setLoginInfo(LoginInfo{replies::text(login, "token"), replies::text(login, "id"),
                                          replies::text(login, "uname"), replies::text(login, "rname"), QString()});
    till.session().setCurrentShop(Shop{QStringLiteral("1"), QString(), QString()});
    if (till.session().uid().isEmpty()) {
        std::fprintf(stderr, "sign-in at the sandbox failed\n");
        return false;
    }
    return true;
}

}  // namespace bench

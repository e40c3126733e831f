#include "gatewaylog.h"

#include "app/logcategories.h"
#include "reply.h"
#include "requestbody.h"

namespace gatewaylog {

QByteArray actionOf(const QByteArray& formBody) {
    for (const QByteArray& pair : formBody.split('&')) {
        if (pair.startsWith("action=")) {
            return QByteArray::fromPercentEncoding(pair.mid(7));
        }
    }
    return QByteArray();
}

void request(const QString& url, const QByteArray& formBody) {
    qCInfo(lcGateway).noquote() << QStringLiteral("request %1, %2 bytes to %3: %4")
                                       .arg(QString::fromUtf8(actionOf(formBody)))
                                       .arg(formBody.size())
                                       .arg(url, QString::fromUtf8(RequestBody::redactFormBody(formBody)));
}

void reply(const QByteArray& action, qint64 elapsedMs, const QString& outcome, const QByteArray& body) {
    const QByteArray clean = body.isEmpty() ? QByteArray() : reply::redactedForLog(body);
    // Cut after redaction, so a cut never leaves part of a secret behind.
    const bool cut = clean.size() > kInfoBodyBytes;
    qCInfo(lcGateway).noquote() << QStringLiteral("reply %1 in %2 ms, %3, %4 bytes: %5")
                                       .arg(QString::fromUtf8(action))
                                       .arg(elapsedMs)
                                       .arg(outcome)
                                       .arg(body.size())
                                       .arg(QString::fromUtf8(cut ? clean.left(kInfoBodyBytes) + "…(cut)" : clean));
    if (cut) {
        qCDebug(lcGateway).noquote() << "reply" << action << "whole:" << clean;
    }
}

}  // namespace gatewaylog

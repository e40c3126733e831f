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
    // "post URL ... BODY" and "reply from URL ..." lead the lines, as the debug output always had them.
    qCInfo(lcGateway).noquote() << QStringLiteral("post %1 %2 (%3 bytes): %4")
                                       .arg(url, QString::fromUtf8(actionOf(formBody)))
                                       .arg(formBody.size())
                                       .arg(QString::fromUtf8(RequestBody::redactFormBody(formBody)));
}

void reply(const QString& url, const QByteArray& action, qint64 elapsedMs, const QString& outcome,
           const QByteArray& body) {
    const QByteArray clean = body.isEmpty() ? QByteArray() : reply::redactedForLog(body);
    // Cut after redaction, so a cut never leaves part of a secret behind.
    const bool cut = clean.size() > kInfoBodyBytes;
    qCInfo(lcGateway).noquote() << QStringLiteral("reply from %1 %2 in %3 ms, %4, %5 bytes: %6")
                                       .arg(url, QString::fromUtf8(action))
                                       .arg(elapsedMs)
                                       .arg(outcome)
                                       .arg(body.size())
                                       .arg(QString::fromUtf8(cut ? clean.left(kInfoBodyBytes) + "…(cut)" : clean));
    if (cut) {
        qCDebug(lcGateway).noquote() << "whole reply to" << action << ":" << clean;
    }
}

}  // namespace gatewaylog

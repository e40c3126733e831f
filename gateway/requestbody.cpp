#include "requestbody.h"

#include "reply.h"

#include <QUrl>

RequestBody::RequestBody(const char* action) {
    m_bytes = QByteArrayLiteral("version=3.0&action=");
    m_bytes += action;
    m_bytes += '&';
}

QByteArray RequestBody::encodeValue(const QString& value) {
    // Letters, digits and "-._~" stay as they are; everything else, UTF-8 included, is %XX.
    return QUrl::toPercentEncoding(value);
}

RequestBody& RequestBody::add(const char* name, const QString& value) {
    addLast(name, value);
    m_bytes += '&';
    return *this;
}

RequestBody& RequestBody::add(const char* name, qint64 value) {
    return add(name, QString::number(value));
}

RequestBody& RequestBody::addLast(const char* name, const QString& value) {
    m_bytes += name;
    m_bytes += '=';
    m_bytes += encodeValue(value);
    return *this;
}

QByteArray RequestBody::redactFormBody(const QByteArray& body) {
    QList<QByteArray> pairs = body.split('&');
    for (QByteArray& pair : pairs) {
        const int eq = pair.indexOf('=');
        if (eq > 0 && reply::isSecretKey(QString::fromLatin1(pair.left(eq))) && eq + 1 < pair.size()) {
            pair = pair.left(eq + 1) + "***";
        }
    }
    return pairs.join('&');
}

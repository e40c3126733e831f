#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Builds a form body: "version=3.0&action=NAME&" then the pairs in the order given. Every value is
// percent-encoded as UTF-8, so "&", "=" or "+" in typed text cannot change the pairs the gateway sees.
class RequestBody {
public:
    explicit RequestBody(const char* action);

    // Adds name=value followed by "&".
    RequestBody& add(const char* name, const QString& value);
    RequestBody& add(const char* name, qint64 value);
    // Adds name=value without the trailing "&" (some actions end that way).
    RequestBody& addLast(const char* name, const QString& value);

    QByteArray bytes() const { return m_bytes; }
    // A copy safe for logs: values of secret fields replaced by "***".
    QByteArray redacted() const { return redactFormBody(m_bytes); }

    static QByteArray encodeValue(const QString& value);
    static QByteArray redactFormBody(const QByteArray& body);

private:
    QByteArray m_bytes;
};

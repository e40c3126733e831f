#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Lenient reading of gateway replies: anything that is not a JSON object reads as an empty object.
namespace reply {

QJsonObject parse(const QByteArray& bytes);
// Whether the bytes are a gateway envelope: a JSON document whose top level is an object.
bool isEnvelope(const QByteArray& bytes);
// The reply as it may be written to a log: JSON with the values of secret keys (token, passwords, the answer, the
// payment code) replaced by "***" at any depth; anything that is not JSON only by its size.
QByteArray redactedForLog(const QByteArray& bytes);
// The keys whose values never reach a log, in replies and in request bodies alike.
bool isSecretKey(const QString& key);
// The "content" object of a reply (empty when absent or not an object).
QJsonObject content(const QJsonObject& root);
inline QJsonObject content(const QByteArray& bytes) {
    return content(parse(bytes));
}

}  // namespace reply

#include "reply.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace reply {

QJsonObject parse(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

QJsonObject content(const QJsonObject& root) {
    return root.value(QLatin1String("content")).toObject();
}

}  // namespace reply

namespace reply {
namespace {

const char* const kSecretKeys[] = {"pword", "pwd", "re_password", "oldpwd", "answer", "auth_code", "token"};

QJsonValue redactValue(const QJsonValue& v) {
    if (v.isObject()) {
        QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            it.value() = isSecretKey(it.key()) ? QJsonValue(QStringLiteral("***")) : redactValue(it.value());
        }
        return o;
    }
    if (v.isArray()) {
        QJsonArray a = v.toArray();
        for (auto it = a.begin(); it != a.end(); ++it) {
            *it = redactValue(*it);
        }
        return a;
    }
    return v;
}

}  // namespace

bool isSecretKey(const QString& key) {
    for (const char* secret : kSecretKeys) {
        if (key == QLatin1String(secret)) {
            return true;
        }
    }
    return false;
}

bool isEnvelope(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    return error.error == QJsonParseError::NoError && doc.isObject();
}

QByteArray redactedForLog(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || doc.isNull()) {
        return QByteArrayLiteral("(") + QByteArray::number(bytes.size()) + QByteArrayLiteral(" bytes, not JSON)");
    }
    const QJsonValue top = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    const QJsonValue clean = redactValue(top);
    return clean.isObject() ? QJsonDocument(clean.toObject()).toJson(QJsonDocument::Compact)
                            : QJsonDocument(clean.toArray()).toJson(QJsonDocument::Compact);
}

}  // namespace reply

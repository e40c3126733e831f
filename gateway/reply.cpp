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

QString str(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

int num(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toInt();
}

double dbl(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toDouble();
}

QJsonObject obj(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toObject();
}

QJsonArray arr(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toArray();
}

int strToInt(const QJsonObject& o, const char* key) {
    return str(o, key).toInt(nullptr, 10);
}

}  // namespace reply

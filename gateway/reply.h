#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Lenient reading of gateway replies: anything that is not a JSON object reads as an empty object, absent keys
// as "" or 0. Field readers are strict about JSON types: a number read as text is "", text read as a number is 0.
namespace reply {

QJsonObject parse(const QByteArray& bytes);
// The "content" object of a reply (empty when absent or not an object).
QJsonObject content(const QJsonObject& root);
inline QJsonObject content(const QByteArray& bytes) {
    return content(parse(bytes));
}

QString str(const QJsonObject& obj, const char* key);
int num(const QJsonObject& obj, const char* key);
double dbl(const QJsonObject& obj, const char* key);
QJsonObject obj(const QJsonObject& obj, const char* key);
QJsonArray arr(const QJsonObject& obj, const char* key);
// A JSON string holding a decimal integer (base 10); 0 when it is not a string or not a number.
int strToInt(const QJsonObject& obj, const char* key);

}  // namespace reply

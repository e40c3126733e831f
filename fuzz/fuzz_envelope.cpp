// What every gateway call does with the bytes first: the envelope reader (is it a JSON object, or a gateway
// failure?) and the copy of the reply written to the log, which must hide every secret value at any depth.
#include "fuzz/fuzzcheck.h"
#include "fuzz/qtjsonleak.h"
#include "gateway/gatewaycall.h"
#include "gateway/reply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QMap>

#include <cstddef>
#include <cstdint>

namespace {

QMap<QString, QJsonValue> entries(const QJsonObject& o) {
    QMap<QString, QJsonValue> map;
    for (auto it = o.begin(); it != o.end(); ++it) {
        map.insert(it.key(), it.value());
    }
    return map;
}

// The logged value has the shape of the original; under a secret key it is "***", elsewhere it is the original.
void checkRedacted(const QJsonValue& original, const QJsonValue& logged) {
    if (original.isObject()) {
        // Compared through iteration, not lookups: Qt orders keys holding U+0000 differently once they have been
        // written out and read back, and then cannot find them by name.
        FUZZ_CHECK(logged.isObject());
        const QMap<QString, QJsonValue> o = entries(original.toObject());
        const QMap<QString, QJsonValue> l = entries(logged.toObject());
        FUZZ_CHECK(o.keys() == l.keys());
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (reply::isSecretKey(it.key())) {
                FUZZ_CHECK(l.value(it.key()) == QJsonValue(QStringLiteral("***")));
            } else {
                checkRedacted(it.value(), l.value(it.key()));
            }
        }
    } else if (original.isArray()) {
        FUZZ_CHECK(logged.isArray());
        const QJsonArray o = original.toArray();
        const QJsonArray l = logged.toArray();
        FUZZ_CHECK(o.size() == l.size());
        for (int i = 0; i < o.size(); ++i) {
            checkRedacted(o.at(i), l.at(i));
        }
    } else if (original.isDouble()) {
        // Qt writes integers beyond 2^53 as the nearest double (9223372036854775807 as 9223372036854776000), which
        // reads back as a double: the same number, as precise as the log can hold it.
        FUZZ_CHECK(logged.isDouble() && logged.toDouble() == original.toDouble());
    } else {
        FUZZ_CHECK(original == logged);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));

    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    const bool json = error.error == QJsonParseError::NoError && !doc.isNull();

    const gateway::Reply answered = gateway::readReply(HttpFun::Ending::Answered, 200, true, bytes);
    FUZZ_CHECK(reply::isEnvelope(bytes) == (json && doc.isObject()));
    FUZZ_CHECK(answered.ok() == reply::isEnvelope(bytes));
    if (answered.ok()) {
        FUZZ_CHECK(answered.root == doc.object());
        FUZZ_CHECK(answered.content() == reply::content(bytes));
    }
    // The same bytes under another status are never an envelope.
    FUZZ_CHECK(!gateway::readReply(HttpFun::Ending::Answered, 500, false, bytes).ok());

    const QByteArray logged = reply::redactedForLog(bytes);
    if (!json) {
        FUZZ_CHECK(logged == "(" + QByteArray::number(bytes.size()) + " bytes, not JSON)");
        return 0;
    }
    QJsonParseError loggedError{};
    const QJsonDocument loggedDoc = QJsonDocument::fromJson(logged, &loggedError);
    FUZZ_CHECK(loggedError.error == QJsonParseError::NoError);
    const QJsonValue original = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    const QJsonValue back = loggedDoc.isObject() ? QJsonValue(loggedDoc.object()) : QJsonValue(loggedDoc.array());
    checkRedacted(original, back);
    return 0;
}

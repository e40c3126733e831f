// Request bodies as a round trip: arbitrary values (any Unicode text, any integer) under the client's field names
// are encoded by RequestBody, then decoded by the form parser of the sandbox gateway and by QUrlQuery; both must
// give back exactly the pairs that were put in. The log copy must hide every secret value and nothing else.
#include "fuzz/fuzzcheck.h"
#include "gateway/requestbody.h"
#include "sandbox/form.h"

#include <QUrlQuery>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const kNames[] = {"uname", "pword", "token", "money", "auth_code", "remark", "re_password", "ticket"};
const char* const kActions[] = {"Share.Ace.login", "Pay.Ace.scanpay", "Account.Pay.refund"};

using Pairs = std::vector<std::pair<std::string, std::string>>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const char* action = in.PickValueInArray(kActions);
    RequestBody body(action);
    Pairs expected{{"version", "3.0"}, {"action", action}};
    bool hasNul = false;
    bool hasNonCharacter = false;

    const int count = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        const char* name = in.PickValueInArray(kNames);
        switch (in.ConsumeIntegralInRange(0, 2)) {
            case 0: {
                const auto value = in.ConsumeIntegral<qint64>();
                body.add(name, value);
                expected.emplace_back(name, std::to_string(value));
                break;
            }
            default: {
                // Bytes that are not UTF-8 become U+FFFD: the value is always text a field could hold.
                const std::string raw = in.ConsumeRandomLengthString(64);
                const QString value = QString::fromUtf8(raw.data(), static_cast<int>(raw.size()));
                hasNul = hasNul || value.contains(QChar(0));
                const QVector<uint> codePoints = value.toUcs4();
                for (const uint c : codePoints) {
                    hasNonCharacter = hasNonCharacter || QChar::isNonCharacter(c);
                }
                if (i == count - 1 && in.ConsumeBool()) {
                    body.addLast(name, value);
                } else {
                    body.add(name, value);
                }
                expected.emplace_back(name, value.toUtf8().toStdString());
                break;
            }
        }
    }
    const QByteArray bytes = body.bytes();

    // The sandbox refuses NUL characters in a form, and only those.
    const std::optional<sandbox::Form> form = sandbox::Form::parse(bytes.toStdString());
    FUZZ_CHECK(form.has_value() == !hasNul);
    if (form) {
        FUZZ_CHECK(form->pairs() == expected);
    }

    const QUrlQuery query(QString::fromLatin1(bytes));
    const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
    Pairs decoded;
    for (const auto& item : items) {
        decoded.emplace_back(item.first.toStdString(), item.second.toStdString());
    }
    // QUrlQuery turns noncharacters (U+FFFE, U+FFFF, ...) into U+FFFD when it decodes; the sandbox keeps them.
    FUZZ_CHECK(decoded == expected || hasNonCharacter);

    // The log copy: same pairs in the same order, secret values (when not empty) replaced by "***".
    const std::optional<sandbox::Form> logged = sandbox::Form::parse(body.redacted().toStdString());
    FUZZ_CHECK(logged.has_value() || hasNul);
    if (logged) {
        FUZZ_CHECK(logged->pairs().size() == expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto& [name, value] = expected[i];
            FUZZ_CHECK(logged->pairs()[i].first == name);
            const bool hidden = sandbox::isSecretField(name) && !value.empty();
            FUZZ_CHECK(logged->pairs()[i].second == (hidden ? std::string("***") : value));
        }
    }
    return 0;
}

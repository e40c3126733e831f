#pragma once

// What the sandbox gateway's actions share: the reply codes, the helpers that read a form and write a reply, the
// sandbox's clock and zone, password digests and the plans a payment code's digits make. Not for use outside sandbox/.

#include "db.h"
#include "form.h"
#include "gateway.h"

#include <QJsonObject>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <optional>
#include <string>

namespace sandbox {

struct Gateway::Account {
    int64_t id = 0;
    std::string uname;
    std::string rname;
    std::string company;
};

namespace detail {

// Top-level "code" values. The client reads "code" 5 on a refund as "wrong refund password".
inline constexpr int kOk = 1;
inline constexpr int kRefused = 0;
inline constexpr int kBadToken = 2;
inline constexpr int kBadRequest = 3;
inline constexpr int kWrongRefundPassword = 5;

inline constexpr const char* kSuccess = "成功";

// A request the gateway cannot act on (missing field, malformed value); answered with kBadRequest.
struct BadRequest {
    std::string message;
};

QString q(const std::string& s);
std::string need(const Form& f, const std::string& name);
std::string optional(const Form& f, const std::string& name);
std::optional<int64_t> parseInteger(const std::string& s);
int charCount(const std::string& s);
bool lettersAndDigits(const std::string& s);
int64_t now();

// The gateway's zone, set once when the gateway is made (before any request is served).
QTimeZone& zone();
QString timeText(int64_t secs);
QString fenText(int64_t fen);

// Envelope: everything the client reads sits under "content"; the top level repeats code and message.
QJsonObject ok(QJsonObject content, const QString& msg = QString::fromUtf8(kSuccess));

// A failure the client shows: its text goes into every place a screen reads a message from
// ("msg" for charges and the login password page, "respType" for the refund password pages).
QJsonObject fail(int code, const std::string& msg, QJsonObject content = {});

// Argon2id digests; the cost is kept small because this is a local stand-in that tests hammer.
std::string digest(const std::string& secret);
bool verify(const std::string& hash, const std::string& secret);

// One text column of an account's row; empty when it was never set.
std::string accountText(Database& db, int64_t accountId, const char* column);
std::string newToken();
QString channelName(const std::string& channel);
QString finalInfo(int64_t money, int64_t refunded);

// What a payment code means in the sandbox (documented in README.md).
struct CodePlan {
    std::string channel;  // "ALIPAY" or "WECHAT"; empty when refused
    std::string refusal;
    bool waitForPassword = false;
    int items = 0;
};

CodePlan planFor(const std::string& code);

}  // namespace detail

}  // namespace sandbox

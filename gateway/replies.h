#pragma once

#include "gatewaycall.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

// The reply side of the gateway: one reader per action turns a reply into a typed value and says, once, whether it
// is a success, a refusal with the gateway's message, or unusable. Windows receive these values and never read JSON.
namespace replies {

enum class Verdict {
    Success,
    Refused,   // the gateway answered and said no; `message` says why
    Unusable,  // no answer, not the gateway's envelope, or an envelope without what the action needs
};

struct Status {
    Verdict verdict = Verdict::Unusable;
    QString message;  // a refusal's text as the gateway sent it (cut it with shown() before it reaches the screen)
    gateway::Reply::Kind transport = gateway::Reply::Unknown;

    bool ok() const { return verdict == Verdict::Success; }
    bool refused() const { return verdict == Verdict::Refused; }
};

// A reader's answer: the verdict and, on success, the value.
template <class T>
struct Read {
    Status status;
    T value{};
    bool ok() const { return status.ok(); }
};

// ---- field readers (all readers go through these) ----

// An amount in whole fen, given as a JSON number or as decimal digits in text. Anything else (a fraction of a fen,
// a negative or absurd number, letters, another JSON type, absent) is not an amount: nullopt, never 0.
std::optional<qint64> fen(const QJsonValue& v);
inline std::optional<qint64> fen(const QJsonObject& o, const char* key) {
    return fen(o.value(QLatin1String(key)));
}
// A text field: a JSON string as it is, a whole JSON number as its digits; anything else "".
QString text(const QJsonObject& o, const char* key);
// A count or page number: a whole JSON number or digits in text; nullopt otherwise.
std::optional<int> integer(const QJsonObject& o, const char* key);

// A gateway text as it may be shown: longer texts are cut with an ellipsis (the log keeps the size). Show it as
// plain text: a gateway string is never markup.
constexpr int kShownChars = 300;
QString shown(const QString& gatewayText);

// ---- money: charges and refunds ----

// What became of a request that moves money.
enum class Outcome {
    Paid,     // the gateway said it was done ("成功" for a charge, "退款成功" for a refund)
    Refused,  // the gateway said no, with a message; no money moved
    Unknown,  // sent, and no clear answer: the money may have moved; look it up, never send it again blindly
    NotSent,  // the request never reached the gateway: no money moved, it may be tried again at once
};

// One ticket of a ticket sale, as the result window and the receipt list it.
struct SoldTicket {
    QString name;   // "cardno"
    QString price;  // yuan text as sent
};

// A completed sale as the result window shows it.
struct Sale {
    QString operatorName;
    QString outTradeNo;
    QString tradeNo;
    QString channel;  // "pay_channel" as sent: "ALIPAY" for 支付宝, anything else is shown as 微信
    std::optional<qint64> fen;
    QString payDate;
    QString shopName;
    QList<SoldTicket> tickets;

    bool alipay() const { return channel == QLatin1String("ALIPAY"); }
    // The order number a sale is known by: "out_trade_no", or "trade_no" when that is empty.
    QString orderNo() const { return outTradeNo.isEmpty() ? tradeNo : outTradeNo; }
};

struct ChargeResult {
    Outcome outcome = Outcome::Unknown;
    QString message;  // the refusal's text
    Sale sale;        // when paid
};
// "Pay.Ace.scanpay" and "Pay.Ace.ticketscanpay": paid only when the content's "msg" is exactly "成功"; refused when
// it carries another non-empty "msg"; a request that never left is not sent; everything else is unknown.
ChargeResult charge(const gateway::Reply& reply);
Sale saleOf(const QJsonObject& content);

struct RefundResult {
    Outcome outcome = Outcome::Unknown;
    bool wrongPassword = false;  // refused with "code" 5
    QString message;             // the gateway's top-level "msg"
};
// "Account.Pay.refund" reads the top-level object: done only when "msg" is "退款成功"; refused with another
// non-empty "msg"; not sent when it never left; everything else is unknown.
RefundResult refund(const gateway::Reply& reply);

}  // namespace replies

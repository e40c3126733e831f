#pragma once

#include "app/records.h"
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
    QString
        message;  // a refusal's text as the gateway sent it (cut it with display::shown() before it reaches the screen)
    gateway::Reply::Kind transport = gateway::Reply::Unknown;

    bool ok() const { return verdict == Verdict::Success; }
    bool refused() const { return verdict == Verdict::Refused; }
    // The gateway answered with its envelope, whatever it said in it.
    bool answered() const { return transport == gateway::Reply::Envelope; }
    // Sent, and no complete answer came: what was asked may have been carried out.
    bool unanswered() const { return transport == gateway::Reply::Unknown; }
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
// A net total, which refunds of earlier sales can bring below zero: as fen(), with a leading minus allowed.
std::optional<qint64> netFen(const QJsonValue& v);
// A text field: a JSON string as it is, a whole JSON number as its digits; anything else "".
QString text(const QJsonObject& o, const char* key);
// A count or page number: a whole JSON number or digits in text; nullopt otherwise.
std::optional<int> integer(const QJsonObject& o, const char* key);

// ---- money: charges and refunds ----

// What became of a request that moves money.
enum class Outcome {
    Paid,     // the gateway said it was done ("成功" for a charge, "退款成功" for a refund)
    Refused,  // the gateway said no, with a message; no money moved
    Unknown,  // sent, and no clear answer: the money may have moved; look it up, never send it again blindly
    NotSent,  // the request never reached the gateway: no money moved, it may be tried again at once
};

struct ChargeResult {
    Outcome outcome = Outcome::Unknown;
    QString message;  // the refusal's text
    Order sale;       // when paid
};
// Whether a message that is not the exact success text may still mean the money moved. A reply is a refusal only
// when its words are a known refusal (余额不足, a payment code expired or invalid, a wrong password, a limit, an order
// that does not exist ...) and say nothing that leaves the outcome open: a success in other words ("支付成功", without
// 未成功 / 不成功 / 失败), the gateway busy or not knowing (系统繁忙, 未知, 稍后, SYSTEMERROR), or a payment under way
// (支付中, 处理中, 受理, 等待, 输入密码, USERPAYING). Everything else is an unknown outcome, looked up, never a
// refusal.
bool mayStillBeDone(const QString& message);

// "Pay.Ace.scanpay" and "Pay.Ace.ticketscanpay": paid only when the content's "msg" is exactly "成功"; refused when
// it carries another non-empty "msg" that mayStillBeDone() does not hold; a request that never left is not sent;
// everything else is unknown (`message` keeps the text when there was one).
ChargeResult charge(const gateway::Reply& reply);
// Wall-clock times in the content are read in `zone`, the gateway's.
Order saleOf(const QJsonObject& content, const QTimeZone& zone = gateway::defaultZone());
// The listed or replied "pay_date" ("yyyy-MM-dd hh:mm:ss", "yyyy-M-d h:m:s", "yyyy/M/d h:m:s" on the gateway's wall
// clock in `zone`, or Unix seconds) as the moment it names; invalid otherwise.
QDateTime parsePayDate(const QString& text, const QTimeZone& zone = gateway::defaultZone());

struct RefundResult {
    Outcome outcome = Outcome::Unknown;
    bool wrongPassword = false;  // refused with "code" 5
    QString message;             // the gateway's top-level "msg"
};
// "Account.Pay.refund" reads the top-level object: done only when "msg" is "退款成功"; refused with another
// non-empty "msg" that mayStillBeDone() does not hold; not sent when it never left; everything else is unknown.
RefundResult refund(const gateway::Reply& reply);

// ---- the other actions ----

// "Share.Ace.login": a success only with "code" the JSON number 1 and a non-empty "token"; the content is the
// cashier, and each "ticket" element a ticket kind whose yuan "price" is read exactly. A kind whose price is not an
// amount is left out (counted in `unpricedTickets`): it is never sold for 0.
struct Login {
    LoginInfo info;
    QList<TicketType> tickets;
    int unpricedTickets = 0;
};
Read<Login> login(const gateway::Reply& reply);

// "Share.App.update": "code" 0 means nothing to report (an empty `versionCode`); another number offers
// "version_code". An envelope without a numeric "code" is unusable.
struct VersionOffer {
    QString versionCode;
};
Read<VersionOffer> versionOffer(const gateway::Reply& reply);

// "Account.Shop.listShop": the stores of "listshop" in order (a success may hold none). No "listshop" array is a
// refusal when the content carries a "msg", else unusable.
Read<QList<Shop>> shopList(const gateway::Reply& reply);

// "Account.Pay.listPay": one page of transactions with its per-channel counts (texts as sent) and sums.
struct ListingPage {
    QString wechatCount;   // "total_wx"
    QString alipayCount;   // "total_al"
    QString jdCount;       // "jdpay_tnum"
    QString cardReported;  // "swipingcard_tnum": whether the gateway reports card payments at all
    QString cardCount;     // "total_pos"
    QString totalCount;    // "total_count"
    std::optional<qint64> wechatFen, alipayFen, jdFen, cardFen, totalFen, refundFen;
    int totalPage = 0;  // "total_page", a JSON number; anything else 0 (as the query page shows it)
    QList<Order> rows;  // "listpay"
    // For reading a whole range: "listpay" was an array (an answer without one is no page, and says nothing about
    // the range: it may be an expired session), and how many pages the range has ("total_page" as a number or
    // digits, at least 1).
    bool listed = false;
    int pagesInRange = 1;
};
// A page when "listpay" is an array, whatever else the envelope says. Without rows it is a refusal when the
// envelope's "code" is not 1 or the content's "code" is 0 (as a number or as digits): its "msg", the envelope's
// "msg", or "数据查询失败(错误码 n)"; otherwise an empty page.
Read<ListingPage> listing(const gateway::Reply& reply);
Order orderOf(const QJsonObject& row, const QTimeZone& zone = gateway::defaultZone());
// What the order numbered `orderNo` has refunded, from a listing looked up by that number: 0 when its row leaves
// "refundfee" out or empty (nothing refunded); nullopt when the order is not on the page, or the field is there but
// not an amount (then nothing is known, never 0).
std::optional<qint64> refundedOfOrder(const gateway::Reply& reply, const QString& orderNo);

// "Account.Print.prinTtime": the proposed period as text ("yyyy-MM-dd hh:mm:ss"; either may be empty).
struct PrintTime {
    QString time1;
    QString time2;
};
Read<PrintTime> printTime(const gateway::Reply& reply);

// "Account.Pay.listSumTicket": the totals of a period. Only a reply whose "allmoney" is an amount is a totals
// answer; any other envelope is a refusal with its "msg", or unusable without one.
struct TicketTotal {
    QString name;   // "cardno"
    QString sum;    // as sent
    QString count;  // "num"
};
struct Totals {
    QString time1, time2;
    std::optional<qint64> allFen, refundFen;           // "allmoney", "refundmoney"
    std::optional<qint64> alipayFen, alipayRefundFen;  // "ALIPAY" → "money", "refundmoney"
    std::optional<qint64> wechatFen, wechatRefundFen;  // "WECHAT" → "money", "refundmoney"
    QList<TicketTotal> tickets;
};
Read<Totals> totals(const gateway::Reply& reply);

// "Account.Print.logPrint": recorded unless the envelope's or the content's "code" says otherwise.
Status printLogged(const gateway::Reply& reply);

// "Account.Pay.cards": the items of an order.
struct CardItem {
    QString cardno;
    QString price;          // yuan, as text
    bool returned = false;  // "state" 1: handed back with an earlier refund
};
struct Items {
    int count = 0;  // "count"
    QList<CardItem> items;
};
// A success when "count" is a whole JSON number; a refusal with the content's "msg" otherwise, or unusable.
Read<Items> items(const gateway::Reply& reply);

// "Share.Ace.editPassword": accepted when the envelope's "code" is 1 (when the envelope has no "code", the
// content's decides). The content's "msg" is the message either way (`Status::message`, empty when absent).
Status passwordChange(const gateway::Reply& reply);

// "Share.Ace.editRefundPassword1", "Share.Ace.setRefundPassword", "Share.Ace.editRefundPassword": accepted when
// "respType" is exactly "Success"; another "respType" text is the refusal's message; no "respType" is unusable.
Status refundPasswordChange(const gateway::Reply& reply);

// "Share.Ace.getQuestion": the stored security question, empty when none is set (also when "refundquestion" is
// absent). Without "refundquestion" but with a "msg" the query was refused.
Read<QString> question(const gateway::Reply& reply);

}  // namespace replies

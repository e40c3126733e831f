#pragma once

#include "gateway/replies.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

// Confirming a charge whose reply never came. The gateway may have carried it out (the customer was still typing the
// wallet password when the reply timed out), so the client never sends it again: it lists the store's recent
// transactions and offers the ones that fit to the cashier. These are the rules of that check, free of widgets and of
// the network.
namespace chargecheck {

// How long and how often the check runs. Tests shorten these; production keeps the values below.
struct Timing {
    int chargeTimeoutMs = 30000;   // the charge's own wait for a reply
    int intervalMs = 5000;         // between one listing's answer and the next listing
    int durationMs = 60000;        // the check gives up this long after it began
    int listTimeoutMs = 10000;     // one listing's wait for a reply
    int clockToleranceSecs = 120;  // the gateway's clock may differ from ours by this much
    int walletSecs = 300;          // the longest a wallet payment takes after its scan (kWalletPayMaxSecs)
};

// A wallet payment is made within this long of its scan (the customer confirming, typing a password): a listed payment
// later than that is not this scan's, whatever its amount.
constexpr int kWalletPayMaxSecs = 300;

// The production timing. In a build with CASHIER_TEST_SEAMS (test builds only) the environment variable
// CASHIER_TEST_CHARGE_TIMING may name other values ("timeout=3000,interval=500,duration=8000,list=2000,tolerance=60";
// milliseconds, tolerance and wallet in seconds); the end-to-end tests run the real client through it. Values below 100
// ms (1 s for the tolerance) are ignored.
Timing timingFromEnvironment();
Timing parseTiming(const QString& text);

// The charge being confirmed.
struct Charge {
    qint64 fen = 0;
    QString shopId;
    QDateTime sentAt;  // when the charge went out, on the gateway's clock
};

// When a payment of a scan made at `sentAt` (the gateway's clock) can have been made: from the clock tolerance before
// it to the longest a wallet payment takes after it. Nothing outside it is offered as that scan's payment.
struct Window {
    QDateTime from;
    QDateTime to;
    bool contains(const QDateTime& t) const { return t >= from && t <= to; }
};
Window paymentWindow(const QDateTime& sentAt, const Timing& timing);

// A listed transaction that may be the charge.
struct Candidate {
    Order row;        // the transaction as listed
    QString channel;  // 支付宝 / 微信, or the channel text as listed
    // The attempt it is offered as the payment of (the latest whose window holds it), and every attempt whose window
    // holds it (a 不是 is kept against each). Empty for the charge being checked itself.
    qint64 attemptId = 0;
    QDateTime attemptAt;
    QString attemptCode;  // that attempt's masked payment code
    QList<qint64> attemptIds;
    bool undated() const { return !row.paidAt.isValid(); }
};

// The listing's range: from the tolerance before the charge went out to the tolerance after now, in the
// "yyyy-M-d hh:mm:ss" form the transaction query sends, on the gateway's wall clock (its `zone`).
QString rangeStart(const QDateTime& sentAt, int toleranceSecs, const QTimeZone& zone);
QString rangeEnd(const QDateTime& now, int toleranceSecs, const QTimeZone& zone);
// A moment in that form.
QString rangeText(const QDateTime& t, const QTimeZone& zone);

// Whether the listed row is one of `numbers` (either of the gateway's numbers for it).
bool numbered(const Order& row, const QSet<QString>& numbers);

// 支付宝 for "支付宝"/"ALIPAY", 微信 for "微信"/"WECHAT"/"WEIXIN", anything else as listed.
QString channelName(const QString& listed);

// Whether a listed status says the sale was paid and stands (成功, 已支付, 支付完成, SUCCESS, TRADE_SUCCESS and the
// like, without 退款, 关闭, 失败, 未 ... or their English codes). A refunded, closed, failed or unpaid sale is not a
// charge that just went through. A row without a status is taken as paid: the
// listing does not always say.
bool isPaidStatus(const QString& finalinfo);

// The transactions of `listing` that may be the charge: exactly the charged amount, a paid status, the charge's
// store (a row without "shopid" is taken as the store's: the listing asks for that store only), paid within `window`,
// and none of `excluded` (the cashier's 不是 for it, this till's own sales; either order number). Newest first; rows
// whose time cannot be read come last (undated(): the gateway filtered by time itself, so they are offered, marked as
// such).
QList<Candidate> candidates(const Charge& charge, const QList<Order>& listing, const Window& window,
                            const QSet<QString>& excluded = {});

// The sale the result window shows for a confirmed candidate, as a charge's reply would have carried it. The listing
// names the channel in words; the sale carries its code ("ALIPAY", "WECHAT", or the listed text for another).
// `operatorName` stands in when the row names no operator, `shopName` when it names no store, and `tickets` is what
// the charge sold.
Order tradeContent(const Candidate& candidate, const QString& operatorName, const QString& shopName,
                   const QList<SoldTicket>& tickets = {});

// One ticket kind of a ticket sale as the result window lists it.
struct SoldKind {
    QString name;
    int count = 0;
    qint64 priceFen = 0;
};
// One entry per ticket sold (name, price in yuan text), as a ticket charge's reply lists them.
QList<SoldTicket> ticketsSold(const QList<SoldKind>& kinds);

}  // namespace chargecheck

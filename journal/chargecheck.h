#pragma once

#include "gateway/replies.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
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
};

// The production timing. In a build with CASHIER_TEST_SEAMS (test builds only) the environment variable
// CASHIER_TEST_CHARGE_TIMING may name other values ("timeout=3000,interval=500,duration=8000,list=2000,tolerance=60";
// milliseconds, tolerance in seconds); the end-to-end tests run the real client through it. Values below 100 ms
// (1 s for the tolerance) are ignored.
Timing timingFromEnvironment();
Timing parseTiming(const QString& text);

// The charge being confirmed.
struct Charge {
    qint64 fen = 0;
    QString shopId;
    QDateTime sentAt;  // local time the charge went out
};

// A listed transaction that may be the charge.
struct Candidate {
    QJsonObject row;  // the transaction as listed
    qint64 fen = 0;
    QString orderNo;   // "out_trade_no", or "trade_no" when the former is empty
    QString channel;   // 支付宝 / 微信, or the channel text as listed
    QString payDate;   // as listed
    QDateTime paidAt;  // invalid when the listed time is not readable
};

// The listing's range: from the tolerance before the charge went out to the tolerance after now, in the
// "yyyy-M-d hh:mm:ss" form the transaction query sends.
QString rangeStart(const QDateTime& sentAt, int toleranceSecs);
QString rangeEnd(const QDateTime& now, int toleranceSecs);

// A transaction's amount in fen: "money" as decimal text of fen or as a JSON number (replies::fen). -1 when it is
// neither.
qint64 rowFen(const QJsonObject& row);
// The listed "pay_date" ("yyyy-MM-dd hh:mm:ss", "yyyy-M-d h:m:s", "yyyy/M/d h:m:s" or Unix seconds); invalid otherwise.
QDateTime parsePayDate(const QString& text);
// 支付宝 for "支付宝"/"ALIPAY", 微信 for "微信"/"WECHAT"/"WEIXIN", anything else as listed.
QString channelName(const QString& listed);

// The transactions of `listing` that may be the charge, newest first: exactly the charged amount, the charge's store
// (a row without "shopid" is taken as the store's: the listing asks for that store only), paid between the tolerance
// before the charge went out and the tolerance after `now`, and not already declined by the cashier (order numbers
// in `declined`). A row whose time cannot be read is kept, after the dated ones: the gateway filtered by time
// itself, and offering one too many is safer than letting the customer pay twice.
QList<Candidate> candidates(const Charge& charge, const QJsonArray& listing, const QDateTime& now, int toleranceSecs,
                            const QSet<QString>& declined = {});

// The sale the result window shows for a confirmed candidate, as a charge's reply would have carried it. The listing
// names the channel in words; the sale carries its code ("ALIPAY", "WECHAT", or the listed text for another).
// `operatorName` stands in when the row names no operator, `shopName` when it names no store, and `tickets` is what
// the charge sold.
replies::Sale tradeContent(const Candidate& candidate, const QString& operatorName, const QString& shopName,
                           const QList<replies::SoldTicket>& tickets = {});

// One ticket kind of a ticket sale as the result window lists it.
struct SoldKind {
    QString name;
    int count = 0;
    qint64 priceFen = 0;
};
// One entry per ticket sold (name, price in yuan text), as a ticket charge's reply lists them.
QList<replies::SoldTicket> ticketsSold(const QList<SoldKind>& kinds);

// One page of a listing as the check reads it: the rows and how many pages the range has. `ok` is false when the
// reply is not a listing (no answer, a refusal, no "listpay" array): it says nothing about the charge.
struct ListingPage {
    bool ok = false;
    QJsonArray rows;
    int totalPages = 1;
};
ListingPage readListing(const gateway::Reply& reply);

}  // namespace chargecheck

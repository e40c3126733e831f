#pragma once

#include "gateway/replies.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <functional>
#include <optional>

// What the payment journal keeps and what it allows next: plain data and rules, free of storage and of widgets.
namespace journal {

enum class Kind { Charge, TicketCharge, Refund };

// For a refund, Paid means "refunded".
enum class State { Sending, NotSent, Paid, Refused, Unresolved, Released };

// The running copy of the client that sent an attempt: its process id and start mark (platform::processStartMark).
// Copies of the client in one folder share the journal; an attempt whose owner still runs is that copy's to finish.
struct Owner {
    qint64 pid = 0;
    QString mark;
    bool isEmpty() const { return pid == 0 || mark.isEmpty(); }
    bool operator==(const Owner& o) const { return pid == o.pid && mark == o.mark; }
    bool operator!=(const Owner& o) const { return !(*this == o); }
};

// One request that moves money (or was about to).
struct Attempt {
    qint64 id = 0;
    QString saleId;  // all attempts made for one sale share it; a refund's is "refund:<order no>"
    Kind kind = Kind::Charge;
    qint64 fen = 0;
    QString shopId;
    QString cashierId;
    QString maskedCode;  // the last four digits of the payment code at most
    QString orderNo;     // a refund: the order refunded; a charge: its order once known
    QDateTime createdAt;
    QDateTime settledAt;  // invalid while open
    State state = State::Sending;
    QString note;        // the refusal message, or how the attempt was resolved
    QString releasedBy;  // the cashier who released it
    // A refund: what the order had refunded, read from the gateway just before it was sent. An unanswered refund
    // went through only when the order's refunded amount is this plus the refund.
    std::optional<qint64> refundedBefore;
    Owner owner;  // empty for attempts of a journal written before owners were kept
};

// The moves an attempt may make:
//   Sending    -> NotSent (never left) | Paid | Refused | Unresolved (no answer, the check found nothing) | Released
//   Unresolved -> Paid (found later) | Released (by the cashier)
// An unresolved attempt never becomes Refused or NotSent: not finding a payment does not prove that none was made.
//   Refused, Released -> Paid (found in the listing later: the gateway took it despite its answer or the release)
// NotSent and Paid are final.
bool maySettle(State from, State to);
// How a charge's or a refund's reply is recorded: its state and the note kept with it (the gateway's words for a
// refusal, what was unclear about an unknown outcome). Both controllers settle through this one step.
struct Settlement {
    State state = State::Unresolved;
    QString note;
};
Settlement settlementOf(replies::Outcome outcome, const QString& message);

// Sending or Unresolved: money may have moved and nobody knows yet.
bool isOpen(State state);
bool isCharge(Kind kind);

// What the journal keeps of a payment code: "****" and its last four digits, or "****" alone when the code is short
// (fewer than 12 characters, where four digits give away too much) or does not end in four digits. Empty stays empty.
QString maskCode(const QString& code);
// More than four digits: a code that was not masked.
bool looksUnmasked(const QString& text);

// What the cashier is told after signing in about refunds an earlier run left without an answer: each refund of
// `open` that is sending or unresolved, with its order, amount, store (`storeName` names a store id; empty when it
// does not know it) and time, and where to look it up. Empty when there is none. Refunds that another running copy
// of the client is sending are the caller's to leave out.
QString openRefundsNotice(const QList<Attempt>& open, const QString& currentShopId,
                          const std::function<QString(const QString&)>& storeName, const QTimeZone& zone);

// The look-back of a new charge, for the whole till: charges of the same amount that were refused or released (a
// refusal may be wrong, a release a guess) within kLookBackMinutes before `now`, in a store this account can list
// (`listable`), whose sale was not paid by a later attempt. Any window, any copy of the client made them. Before such
// a charge goes out, the stores' listings are read for them, each around its own time only (chargecheck's payment
// window): other tills sell the same amount all day. Oldest first.
constexpr int kLookBackMinutes = 30;
QList<Attempt> lookBackFor(const QList<Attempt>& recent, qint64 fen, const QDateTime& now,
                           const QSet<QString>& listable);

// A refund about to go out, against the order's refunded amount read fresh from the gateway (`refundedNowFen`): what
// the cashier saw (`shownRefundedFen`, nullopt when the page did not know it) must still stand, and the refund must fit
// in what is left of the order (`orderFen` less what is refunded now). Empty when it may go out; otherwise what the
// cashier is told (both figures and what is left), and nothing is sent.
QString refundAgainstNow(qint64 refundFen, std::optional<qint64> orderFen, std::optional<qint64> shownRefundedFen,
                         qint64 refundedNowFen);

// A refund about to go out, against the order's earlier ones: a refused or released refund (or one whose answer never
// came) made after the last refund the journal holds as done went through when the order's refunded amount now is
// exactly what it had refunded before that attempt plus that attempt's amount. That attempt, if any. A refund the
// gateway refused in so many words is returned too, but it is never settled on the sums alone: the cashier judges.
std::optional<Attempt> earlierRefundThatWentThrough(const QList<Attempt>& ofOrder, qint64 refundedNowFen);

// What the cashier is told when the shift is handed over with money whose outcome is open (sending or unresolved
// charges and refunds of this copy of the client): each one named, its time on the gateway's wall clock (`zone`);
// empty when there is none.
QString handoverBlockedText(const QList<Attempt>& open, const QTimeZone& zone);

// What the cashier is told when the shift would be handed over while outcomes are known but not yet written to the file
// (`unwritten`, as the file holds them): each one named.
QString unwrittenBlockedText(const QList<Attempt>& unwritten, const QTimeZone& zone);

// Stable names for the file, readable with the sqlite3 tool ("sending", "unresolved", "ticket_charge", ...).
QString stateName(State state);
std::optional<State> stateFromName(const QString& name);
// The state as the cashier reads it (发送中, 未确认, ...).
QString stateLabel(State state);
QString kindName(Kind kind);
std::optional<Kind> kindFromName(const QString& name);

}  // namespace journal

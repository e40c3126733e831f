#pragma once

#include "gateway/replies.h"
#include "gateway/requestbody.h"
#include "payments/chargecheck.h"
#include "payments/journalrules.h"
#include "payments/openattempt.h"
#include "payments/paymentcontext.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

namespace journal {

// What a look-up of an order says about a refund of it whose answer never came, against what the order had
// refunded just before the refund was sent.
enum class RefundLookup {
    WentThrough,  // the refunded amount rose by exactly this refund
    NotYet,       // unchanged: the gateway may still carry it out, so this says nothing yet
    Unexplained,  // it moved by something else (another till's refund too?): only the cashier can judge
    Unreadable,   // the order, its refunded amount or the amount before is not known
};
RefundLookup judgeRefundLookup(std::optional<qint64> refundedBeforeFen, qint64 refundFen,
                               std::optional<qint64> refundedNowFen);

}  // namespace journal

// Sends the refunds of one order through the payment journal, with the discipline of a charge: before a refund is
// sent the order's refunded amount is read fresh from the gateway and written with the attempt; the outcome is
// settled there; a refund whose answer never came is looked up in the order's listing every few seconds for about a
// minute and ends only when it is found, or when the cashier releases it on purpose. While a refund of the order is
// open (here, in an earlier run or in another copy of the client) no other goes out.
class RefundGuard : public QObject {
    Q_OBJECT

public:
    enum class Phase {
        Ready,       // no refund of the order is open: one may be sent
        Reading,     // reading the order's refunded amount before sending
        Sending,     // the refund is out
        Checking,    // no clear answer came: the refund is being looked up
        Unresolved,  // the look-up ended without an answer: the cashier checks again or releases it
        Elsewhere,   // another copy of the client that still runs is refunding this order
        Done,
    };
    Q_ENUM(Phase)

    RefundGuard(const PaymentContext& till, const QString& orderNo, QObject* parent = nullptr);

    // Looks at the journal: an open refund of the order (of this run, an earlier one, or a copy that no longer runs)
    // is taken over and looked up; one of a running copy leaves this guard Elsewhere.
    void start();
    // Reads the order's refunded amount, records the refund and sends it. False (with `why`) when it cannot start;
    // later failures before sending arrive as notSent(why).
    bool send(qint64 fen, const QString& cardNo, const QString& pwd, QString* why);
    void stopCheck() { m_open.stopCheck(); }
    void checkAgain() { m_open.checkAgain(); }
    // The cashier has checked that the open refund was not made: it is released (journaled with time and cashier)
    // and a refund may be sent again.
    bool release(QString* why);

    Phase phase() const { return m_phase; }
    // Money may be moving: the refund must not be abandoned (its dialog stays open).
    bool busy() const { return m_phase == Phase::Reading || m_phase == Phase::Sending || m_phase == Phase::Checking; }
    qint64 openFen() const { return m_fen; }
    // What the last look-up found when it could not explain the amount, as the cashier reads it.
    QString detail() const { return m_detail; }

    void setTiming(const chargecheck::Timing& timing) { m_open.setTiming(timing); }
    // When the order was paid (the gateway's clock, as listed): its look-ups ask for the days around it.
    void setOrderTime(const QDateTime& paidAt) { m_orderTime = paidAt; }
    // The order's amount and what the cashier saw refunded of it (nullopt: not known). A refund goes out only while
    // the fresh refunded amount is still that, and only within what is left.
    void setShown(std::optional<qint64> orderFen, std::optional<qint64> refundedFen) {
        m_orderFen = orderFen;
        m_shownRefunded = refundedFen;
    }

    // An earlier refund of the order the gateway refused, which the refunded amount now would explain (see
    // earlierRefundUnclear): the cashier's answer.
    enum class EarlierRefund { WentThrough, SendAnyway, Undecided };
    void answerEarlier(EarlierRefund answer);

signals:
    void phaseChanged(RefundGuard::Phase phase);
    // The outcome of the refund sent: done, refused or never sent (an unknown one goes on to Checking).
    void finished(const replies::RefundResult& result, qint64 fen);
    // Nothing was sent (the refunded amount could not be read, or the journal refused the attempt).
    void notSent(const QString& why);
    // The look-up found the open refund done.
    void earlierRefundDone(qint64 fen);
    // An earlier refund of the order was refused, yet the refunded amount rose by exactly its amount since: perhaps it
    // went through, perhaps another refund did. Nothing is sent until the cashier answers (answerEarlier).
    void earlierRefundUnclear(const QString& text);
    // The journal could not record an outcome (the attempt stays open there).
    void journalTrouble(const QString& why);

private:
    void setPhase(Phase phase);
    void lookUp();
    void onLookup(const gateway::Reply& reply);
    void onBase(const gateway::Reply& reply);
    void onRefundReply(const gateway::Reply& reply);
    void settle(journal::State state, const QString& note) { m_open.settle(state, QString(), note); }
    std::optional<qint64> refundedOf(const gateway::Reply& reply) const;
    RequestBody lookUpBody() const;
    // An earlier refund of the order (refused, released, unanswered) that the refunded amount now shows went
    // through: recorded done and told; true when there was one.
    bool earlierWentThrough(qint64 refundedNow);
    // Records the refund (with the amount refunded before it) and sends it.
    void beginAndSend(qint64 before, const QString& pwd);
    std::optional<journal::Attempt> earlierRefused(qint64 refundedNow) const;

    PaymentContext m_till;
    QString m_orderNo;
    Phase m_phase = Phase::Ready;
    OpenAttempt m_open;
    qint64 m_fen = 0;
    std::optional<qint64> m_before;
    QString m_cardNo;
    QString m_pwd;  // held only while the refunded amount is read, then sent and forgotten
    QString m_detail;
    QDateTime m_orderTime;
    std::optional<qint64> m_orderFen;
    std::optional<qint64> m_shownRefunded;
    // A refused earlier refund waiting for the cashier's word, with what the refund in hand needs to go out.
    struct Pending {
        journal::Attempt earlier;
        qint64 refundedNow = 0;
        QString pwd;
    };
    std::optional<Pending> m_pending;
};

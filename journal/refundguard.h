#pragma once

#include "gateway/replies.h"

#include <QObject>
#include <QString>
#include <optional>

namespace journal {

// What a look-up of an order says about a refund of it whose answer never came.
enum class RefundLookup {
    WentThrough,   // the order's refunded amount rose by at least the refund
    DidNotHappen,  // the refunded amount is what it was before the refund was sent
    Unknown,       // the order could not be read, or the amount moved by something else
};
RefundLookup judgeRefundLookup(qint64 refundedBeforeFen, qint64 refundFen, std::optional<qint64> refundedNowFen);

// The note a refund attempt carries: what the order had refunded before it was sent.
QString refundNote(qint64 refundedBeforeFen);
std::optional<qint64> refundedBeforeOf(const QString& note);

}  // namespace journal

// Sends the refunds of one order through the payment journal: each is written before it is sent, its outcome is
// settled there, and a refund of the order whose outcome is unknown (from this run or an earlier one) is looked up in
// the listing before another may go out.
class RefundGuard : public QObject {
    Q_OBJECT

public:
    explicit RefundGuard(const QString& orderNo, QObject* parent = nullptr);

    // Whether the journal holds a refund of this order whose outcome is unknown.
    bool refundOpen() const;
    // Looks that refund up; one of the earlierRefund... signals follows.
    void lookUpOpenRefund();
    // Records and sends a refund. False (with `why`) when nothing was sent: no journal, the record could not be
    // written, or an earlier refund of the order is still open.
    // `refundedBeforeFen` is what the order had refunded as listed: an unanswered refund is judged against it.
    bool send(qint64 fen, qint64 refundedBeforeFen, const QString& cardNo, const QString& pwd, QString* why);

signals:
    // The outcome of the refund sent (already settled in the journal).
    void finished(const replies::RefundResult& result, qint64 fen);
    void earlierRefundDone(qint64 fen);
    void earlierRefundCleared();
    void earlierRefundUnknown();

private:
    void onLookup(const gateway::Reply& reply);

    QString m_orderNo;
    qint64 m_attemptId = 0;
    qint64 m_openAttemptId = 0;
    qint64 m_openFen = 0;
    std::optional<qint64> m_openBefore;
};

#include "payments/refundguard.h"

#include "app/money.h"
#include "app/usersession.h"
#include "gateway/gatewayclock.h"
#include "gateway/requests.h"
#include "payments/journal.h"

#include <QDebug>

namespace journal {

RefundLookup judgeRefundLookup(std::optional<qint64> refundedBeforeFen, qint64 refundFen,
                               std::optional<qint64> refundedNowFen) {
    if (!refundedBeforeFen || !refundedNowFen) {
        return RefundLookup::Unreadable;
    }
    if (*refundedNowFen == *refundedBeforeFen + refundFen) {
        return RefundLookup::WentThrough;
    }
    if (*refundedNowFen == *refundedBeforeFen) {
        return RefundLookup::NotYet;
    }
    return RefundLookup::Unexplained;
}

}  // namespace journal

RefundGuard::RefundGuard(const PaymentContext& till, const QString& orderNo, QObject* parent)
    : QObject(parent), m_till(till), m_orderNo(orderNo), m_open(till, OpenAttempt::Noun::Refund) {
    connect(&m_open, &OpenAttempt::checkStarted, this, [this] {
        m_detail.clear();
        setPhase(Phase::Checking);
    });
    connect(&m_open, &OpenAttempt::lookUpDue, this, &RefundGuard::lookUp);
    connect(&m_open, &OpenAttempt::unresolved, this, [this] { setPhase(Phase::Unresolved); });
    connect(&m_open, &OpenAttempt::journalTrouble, this, &RefundGuard::journalTrouble);
}

void RefundGuard::setPhase(Phase phase) {
    if (m_phase == phase) {
        return;
    }
    m_phase = phase;
    emit phaseChanged(phase);
}

void RefundGuard::start() {
    journal::Journal* j = m_till.journal;
    if (!j) {
        return;  // send() says why nothing can go out
    }
    QString error;
    const std::optional<journal::Attempt> open = j->blockerFor(journal::Kind::Refund, m_orderNo, &error);
    if (!error.isEmpty() || !open) {
        return;
    }
    m_fen = open->fen;
    m_before = open->refundedBefore;
    if (j->heldElsewhere(*open) || !j->takeOver(open->id, &error)) {
        m_detail = j->blockedText(*open);
        setPhase(Phase::Elsewhere);
        return;
    }
    m_open.setId(open->id);
    if (open->state == journal::State::Sending) {
        // The run that sent it ended before the answer: nobody knows.
        settle(journal::State::Unresolved, QStringLiteral("程序重新启动时仍在发送"));
    }
    m_open.startCheck();
}

bool RefundGuard::send(qint64 fen, const QString& cardNo, const QString& pwd, QString* why) {
    if (m_phase != Phase::Ready) {
        *why = QStringLiteral("这笔交易的退款正在处理中。");
        return false;
    }
    journal::Journal* j = m_till.journal;
    if (!j) {
        *why = OpenAttempt::noJournalText(OpenAttempt::Noun::Refund);
        return false;
    }
    QString error;
    if (const std::optional<journal::Attempt> open = j->blockerFor(journal::Kind::Refund, m_orderNo, &error)) {
        *why = j->blockedText(*open);
        return false;
    }
    if (!error.isEmpty()) {
        *why = QStringLiteral("无法读取收款记录（%1），本次没有退款。").arg(error);
        return false;
    }
    // What the order has refunded now, not what the page showed when it was loaded: another till may have refunded
    // meanwhile, and an unanswered refund is judged against this.
    m_fen = fen;
    m_cardNo = cardNo;
    m_pwd = pwd;
    m_detail.clear();
    setPhase(Phase::Reading);
    m_till.gateway.post(this, lookUpBody(), m_open.latest([this](const gateway::Reply& r) { onBase(r); }),
                        m_open.timing().listTimeoutMs);
    return true;
}

std::optional<qint64> RefundGuard::refundedOf(const gateway::Reply& reply) const {
    return replies::refundedOfOrder(reply, m_orderNo);
}

RequestBody RefundGuard::lookUpBody() const {
    // The order's own days: a gateway that lists a day by default would not show an older order. On the gateway's
    // clock, wide enough for its time zone and a drifting PC.
    QString from;
    QString to;
    if (m_orderTime.isValid()) {
        from = chargecheck::rangeStart(m_orderTime, 24 * 3600, m_till.zone());
        to = chargecheck::rangeEnd(m_till.now(), 24 * 3600, m_till.zone());
    }
    return requests::listPay(m_till.session->token(), 1, m_orderNo, from, to, QString(), QString());
}

void RefundGuard::onBase(const gateway::Reply& reply) {
    const std::optional<qint64> before = refundedOf(reply);
    const QString pwd = m_pwd;
    m_pwd.clear();
    if (!before) {
        setPhase(Phase::Ready);
        emit notSent(QStringLiteral("暂时无法从网关读取这笔交易已退的金额，本次没有退款。\n请检查网络后重试。"));
        return;
    }
    // What the cashier decided on must still stand: another till may have refunded since the page was read.
    const QString stale = journal::refundAgainstNow(m_fen, m_orderFen, m_shownRefunded, *before);
    if (!stale.isEmpty()) {
        m_shownRefunded = *before;  // the message shows the new figure: the next try is judged against it
        setPhase(Phase::Ready);
        emit notSent(stale);
        return;
    }
    if (earlierWentThrough(*before)) {
        return;  // nothing is sent: the money went back to the customer already
    }
    if (const std::optional<journal::Attempt> refused = earlierRefused(*before)) {
        // A refusal in so many words is not overturned by a coincidence of sums: the cashier judges.
        m_pending = Pending{*refused, *before, pwd};
        setPhase(Phase::Ready);
        emit earlierRefundUnclear(
            QStringLiteral(
                "这笔交易之前有一笔 %1元 的退款被网关拒绝（%2）。当时已退 %3元，现在已退 %4元，正好多了 %1元："
                "可能那笔退款其实已经完成，也可能是别处的另一笔退款。\n\n"
                "请与顾客核对（或在商户后台查看）后选择；本次 %5元 的退款还没有发出。")
                .arg(money::fenToYuan2(refused->fen),
                     refused->note.isEmpty() ? QStringLiteral("无说明") : refused->note,
                     money::fenToYuan2(refused->refundedBefore.value_or(0)), money::fenToYuan2(*before),
                     money::fenToYuan2(m_fen)));
        return;
    }
    beginAndSend(*before, pwd);
}

void RefundGuard::answerEarlier(EarlierRefund answer) {
    if (!m_pending || m_phase != Phase::Ready) {
        return;
    }
    const Pending pending = *m_pending;
    m_pending.reset();
    switch (answer) {
        case EarlierRefund::WentThrough:
            m_open.setId(pending.earlier.id);
            m_fen = pending.earlier.fen;
            settle(journal::State::Paid,
                   QStringLiteral("收银员核对：网关拒绝后已退金额由 %1元 变为 %2元，确认这笔退款已经完成")
                       .arg(money::fenToYuan2(pending.earlier.refundedBefore.value_or(0)),
                            money::fenToYuan2(pending.refundedNow)));
            setPhase(Phase::Done);
            emit earlierRefundDone(pending.earlier.fen);
            return;
        case EarlierRefund::SendAnyway:
            // The cashier knows the rise is another refund: this one goes out, judged against the amount as it is.
            setPhase(Phase::Reading);
            beginAndSend(pending.refundedNow, pending.pwd);
            return;
        case EarlierRefund::Undecided:
            return;
    }
}

void RefundGuard::beginAndSend(qint64 before, const QString& pwd) {
    const UserSession& session = *m_till.session;
    journal::Attempt a;
    a.saleId = QStringLiteral("refund:") + m_orderNo;
    a.kind = journal::Kind::Refund;
    a.fen = m_fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.orderNo = m_orderNo;
    a.refundedBefore = before;
    QString why;
    if (!m_open.begin(a, &why)) {
        setPhase(Phase::Ready);
        emit notSent(why);
        return;
    }
    m_before = before;
    setPhase(Phase::Sending);
    m_till.gateway.post(this, requests::refund(session.token(), m_fen, m_orderNo, m_cardNo, pwd),
                        [this](const gateway::Reply& r) { onRefundReply(r); });
}

bool RefundGuard::earlierWentThrough(qint64 refundedNow) {
    journal::Journal* j = m_till.journal;
    QString error;
    const QList<journal::Attempt> earlier =
        j ? j->ofSale(QStringLiteral("refund:") + m_orderNo, &error) : QList<journal::Attempt>();
    const std::optional<journal::Attempt> done = journal::earlierRefundThatWentThrough(earlier, refundedNow);
    if (!done || done->state == journal::State::Refused) {
        return false;
    }
    // A refund refused, released or never answered: the order's refunded amount now holds it exactly.
    m_open.setId(done->id);
    m_fen = done->fen;
    settle(journal::State::Paid, QStringLiteral("再次退款前核对：已退金额由 %1元 变为 %2元，即这笔退款（自动核对）")
                                     .arg(money::fenToYuan2(*done->refundedBefore), money::fenToYuan2(refundedNow)));
    setPhase(Phase::Done);
    emit earlierRefundDone(done->fen);
    return true;
}

std::optional<journal::Attempt> RefundGuard::earlierRefused(qint64 refundedNow) const {
    journal::Journal* j = m_till.journal;
    if (!j) {
        return std::nullopt;
    }
    const std::optional<journal::Attempt> found =
        journal::earlierRefundThatWentThrough(j->ofSale(QStringLiteral("refund:") + m_orderNo), refundedNow);
    return found && found->state == journal::State::Refused ? found : std::nullopt;
}

void RefundGuard::onRefundReply(const gateway::Reply& reply) {
    if (m_phase != Phase::Sending) {
        return;
    }
    const replies::RefundResult result = replies::refund(reply);
    const journal::Settlement settled = journal::settlementOf(result.outcome, result.message);
    settle(settled.state, settled.note);
    switch (result.outcome) {
        case replies::Outcome::Paid:
            setPhase(Phase::Done);
            break;
        case replies::Outcome::Refused:
        case replies::Outcome::NotSent:
            setPhase(Phase::Ready);
            break;
        case replies::Outcome::Unknown:
            m_open.startCheck();
            break;
    }
    emit finished(result, m_fen);
}

void RefundGuard::lookUp() {
    if (m_phase != Phase::Checking) {
        return;
    }
    m_till.gateway.post(this, lookUpBody(), m_open.latest([this](const gateway::Reply& r) { onLookup(r); }),
                        m_open.timing().listTimeoutMs);
}

void RefundGuard::onLookup(const gateway::Reply& reply) {
    if (m_phase != Phase::Checking) {
        return;
    }
    const std::optional<qint64> now = refundedOf(reply);
    switch (journal::judgeRefundLookup(m_before, m_fen, now)) {
        case journal::RefundLookup::WentThrough:
            settle(journal::State::Paid, QStringLiteral("交易查询中退款金额已增加本次退款（自动核对）"));
            setPhase(Phase::Done);
            emit earlierRefundDone(m_fen);
            return;
        case journal::RefundLookup::Unexplained:
            // Not this refund alone: the cashier judges with the numbers in front of them.
            m_detail = QStringLiteral("这笔交易的已退金额由 %1元 变为 %2元，与本次退款 %3元 对不上。")
                           .arg(money::fenToYuan2(*m_before), money::fenToYuan2(*now), money::fenToYuan2(m_fen));
            m_open.giveUp();
            return;
        case journal::RefundLookup::NotYet:
        case journal::RefundLookup::Unreadable:
            if (!m_before) {
                // An attempt of an older journal without the amount refunded before: no look-up can tell.
                m_detail = QStringLiteral("这笔退款发出前的已退金额没有记下，无法自动核对。");
                m_open.giveUp();
                return;
            }
            m_open.nothingFound();
            return;
    }
}

bool RefundGuard::release(QString* why) {
    if (!m_open.release(why)) {
        return false;
    }
    m_detail.clear();
    setPhase(Phase::Ready);
    return true;
}

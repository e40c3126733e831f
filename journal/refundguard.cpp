#include "journal/refundguard.h"

#include "app/usersession.h"
#include "gateway/requests.h"
#include "journal/journal.h"

#include <QDebug>

namespace journal {

namespace {
const QString kBeforeKey = QStringLiteral("refunded_before=");
}

RefundLookup judgeRefundLookup(qint64 refundedBeforeFen, qint64 refundFen, std::optional<qint64> refundedNowFen) {
    if (!refundedNowFen) {
        return RefundLookup::Unknown;
    }
    if (*refundedNowFen >= refundedBeforeFen + refundFen) {
        return RefundLookup::WentThrough;
    }
    if (*refundedNowFen == refundedBeforeFen) {
        return RefundLookup::DidNotHappen;
    }
    return RefundLookup::Unknown;
}

QString refundNote(qint64 refundedBeforeFen) {
    return kBeforeKey + QString::number(refundedBeforeFen);
}

std::optional<qint64> refundedBeforeOf(const QString& note) {
    if (!note.startsWith(kBeforeKey)) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 n = note.mid(kBeforeKey.size()).toLongLong(&ok);
    return ok && n >= 0 ? std::optional<qint64>(n) : std::nullopt;
}

}  // namespace journal

RefundGuard::RefundGuard(const QString& orderNo, QObject* parent) : QObject(parent), m_orderNo(orderNo) {}

bool RefundGuard::refundOpen() const {
    journal::Journal* j = journal::instance();
    return j && j->refundOpen(m_orderNo);
}

void RefundGuard::lookUpOpenRefund() {
    journal::Journal* j = journal::instance();
    m_openAttemptId = 0;
    if (j) {
        for (const journal::Attempt& a : j->open(QString())) {
            if (a.kind == journal::Kind::Refund && a.orderNo == m_orderNo) {
                m_openAttemptId = a.id;
                m_openFen = a.fen;
                m_openBefore = journal::refundedBeforeOf(a.note);
                break;
            }
        }
    }
    if (!m_openAttemptId) {
        emit earlierRefundCleared();
        return;
    }
    gateway::post(this,
                  requests::listPay(userSession().token(), 1, m_orderNo, QString(), QString(), QString(), QString()),
                  [this](const gateway::Reply& r) { onLookup(r); });
}

void RefundGuard::onLookup(const gateway::Reply& reply) {
    std::optional<qint64> refundedNow;
    const replies::Read<replies::ListingPage> page = replies::listing(reply);
    for (const Order& row : page.value.rows) {
        if (row.outTradeNo == m_orderNo || row.tradeNo == m_orderNo) {
            refundedNow = row.refundFen;
            break;
        }
    }
    const journal::RefundLookup verdict = m_openBefore
                                              ? journal::judgeRefundLookup(*m_openBefore, m_openFen, refundedNow)
                                              : journal::RefundLookup::Unknown;
    journal::Journal* j = journal::instance();
    QString error;
    switch (verdict) {
        case journal::RefundLookup::WentThrough:
            if (j && !j->settle(m_openAttemptId, journal::State::Paid, QString(),
                                QStringLiteral("交易查询中退款金额已增加"), &error)) {
                qWarning().noquote() << "journal: refund" << m_openAttemptId << "not settled:" << error;
            }
            emit earlierRefundDone(m_openFen);
            return;
        case journal::RefundLookup::DidNotHappen:
            if (j && !j->release(m_openAttemptId, QStringLiteral("交易查询中退款金额未变"), &error)) {
                qWarning().noquote() << "journal: refund" << m_openAttemptId << "not released:" << error;
                emit earlierRefundUnknown();
                return;
            }
            emit earlierRefundCleared();
            return;
        case journal::RefundLookup::Unknown:
            emit earlierRefundUnknown();
            return;
    }
}

bool RefundGuard::send(qint64 fen, qint64 refundedBeforeFen, const QString& cardNo, const QString& pwd, QString* why) {
    journal::Journal* j = journal::instance();
    if (!j) {
        *why = QStringLiteral("收款记录文件不可用，暂时不能退款。请重新启动收银程序；仍不行请联系管理员。");
        return false;
    }
    if (j->refundOpen(m_orderNo)) {
        *why = QStringLiteral("这笔交易上一次退款的结果还未确认，请先在交易查询中核对。");
        return false;
    }
    const UserSession& session = userSession();
    journal::Attempt a;
    a.saleId = QStringLiteral("refund:") + m_orderNo;
    a.kind = journal::Kind::Refund;
    a.fen = fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.orderNo = m_orderNo;
    // Without the amount refunded before, an unanswered refund can only be judged by the cashier.
    a.note = refundedBeforeFen >= 0 ? journal::refundNote(refundedBeforeFen) : QString();
    QString error;
    const std::optional<qint64> id = j->begin(a, &error);
    if (!id) {
        *why = QStringLiteral("无法写入退款记录（%1），本次没有退款。").arg(error);
        return false;
    }
    m_attemptId = *id;
    gateway::post(
        this, requests::refund(session.token(), fen, m_orderNo, cardNo, pwd), [this, fen](const gateway::Reply& r) {
            const replies::RefundResult result = replies::refund(r);
            journal::State state = journal::State::Unresolved;
            switch (result.outcome) {
                case replies::Outcome::Paid:
                    state = journal::State::Paid;
                    break;
                case replies::Outcome::Refused:
                    state = journal::State::Refused;
                    break;
                case replies::Outcome::NotSent:
                    state = journal::State::NotSent;
                    break;
                case replies::Outcome::Unknown:
                    break;
            }
            QString settleError;
            journal::Journal* jj = journal::instance();
            if (!jj || !jj->settle(m_attemptId, state, QString(),
                                   state == journal::State::Unresolved ? QString() : result.message, &settleError)) {
                qWarning().noquote() << "journal: refund" << m_attemptId << "not settled:" << settleError;
            }
            emit finished(result, fen);
        });
    return true;
}

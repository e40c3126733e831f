#include "payments/reconcile.h"

#include "app/shown.h"
#include "app/money.h"
#include "payments/chargecheck.h"
#include "payments/journal.h"

#include <QMap>

namespace reconcile {

namespace {

bool paidCharge(const journal::Attempt& a) {
    return journal::isCharge(a.kind) && a.state == journal::State::Paid;
}

bool doneRefund(const journal::Attempt& a) {
    return a.kind == journal::Kind::Refund && a.state == journal::State::Paid && !a.orderNo.isEmpty();
}

}  // namespace

QSet<QString> wantedOrders(const QList<journal::Attempt>& attempts) {
    QSet<QString> out;
    for (const journal::Attempt& a : attempts) {
        if ((paidCharge(a) || doneRefund(a)) && !a.orderNo.isEmpty()) {
            out.insert(a.orderNo);
        }
    }
    return out;
}

QSet<QString> refundOrdersMissing(const QList<journal::Attempt>& attempts, const QHash<QString, Order>& listed) {
    QSet<QString> out;
    for (const journal::Attempt& a : attempts) {
        if (doneRefund(a) && !listed.contains(a.orderNo)) {
            out.insert(a.orderNo);
        }
    }
    return out;
}

void addListed(QHash<QString, Order>* listed, const Order& order) {
    if (!order.outTradeNo.isEmpty()) {
        listed->insert(order.outTradeNo, order);
    }
    if (!order.tradeNo.isEmpty()) {
        listed->insert(order.tradeNo, order);
    }
}

Result check(const QList<journal::Attempt>& attempts, const QHash<QString, Order>& listed) {
    Result r;
    // Refunds of one order add up: the gateway shows their sum as the order's refunded amount. Other tills may have
    // refunded the same order too, so the gateway may show more, never less.
    QMap<QString, Finding> refunds;
    for (const journal::Attempt& a : attempts) {
        Finding f;
        f.kind = a.kind;
        f.orderNo = a.orderNo;
        f.fenHere = a.fen;
        f.at = a.createdAt;
        if (journal::isOpen(a.state)) {
            f.problem = Problem::Unresolved;
            r.findings.append(f);
            continue;
        }
        if (a.state != journal::State::Paid) {
            continue;  // refused, never sent or released: no money moved as far as this till knows
        }
        if (a.kind == journal::Kind::Refund) {
            ++r.refunds;
            r.refundFen += a.fen;
            if (a.orderNo.isEmpty()) {
                f.problem = Problem::NoOrderNumber;
                r.findings.append(f);
                continue;
            }
            auto it = refunds.find(a.orderNo);
            if (it == refunds.end()) {
                refunds.insert(a.orderNo, f);
            } else {
                it->fenHere += a.fen;
            }
            continue;
        }
        ++r.charges;
        r.chargeFen += a.fen;
        if (a.orderNo.isEmpty()) {
            f.problem = Problem::NoOrderNumber;
            r.findings.append(f);
            continue;
        }
        const auto row = listed.constFind(a.orderNo);
        if (row == listed.constEnd()) {
            f.problem = Problem::MissingAtGateway;
            r.findings.append(f);
            continue;
        }
        f.fenAtGateway = row->fen;
        if (row->fen != a.fen) {
            f.problem = Problem::DifferentAmount;
            r.findings.append(f);
        }
    }
    for (Finding f : qAsConst(refunds)) {
        const auto row = listed.constFind(f.orderNo);
        if (row == listed.constEnd()) {
            f.problem = Problem::MissingAtGateway;
            r.findings.append(f);
            continue;
        }
        f.fenAtGateway = row->refundFen.value_or(0);
        if (*f.fenAtGateway < f.fenHere) {
            f.problem = Problem::RefundNotShown;
            r.findings.append(f);
        }
    }
    return r;
}

QString summaryLine(const Result& result) {
    const QString head = QStringLiteral("本机 %1 笔 ￥%2").arg(result.charges).arg(money::fenToYuan2(result.chargeFen));
    if (result.agrees()) {
        return head + QStringLiteral(" 与网关一致");
    }
    return head + QStringLiteral("，%1 笔不一致").arg(result.findings.size());
}

QString problemText(Problem problem) {
    switch (problem) {
        case Problem::MissingAtGateway:
            return QStringLiteral("网关无此单");
        case Problem::DifferentAmount:
            return QStringLiteral("金额不同");
        case Problem::RefundNotShown:
            return QStringLiteral("网关未见此退款");
        case Problem::Unresolved:
            return QStringLiteral("结果未确认");
        case Problem::NoOrderNumber:
            return QStringLiteral("本机无单号");
    }
    return QString();
}

QStringList detailCells(const Finding& f) {
    const QString kind = f.kind == journal::Kind::Refund ? QStringLiteral("退款") : QStringLiteral("收款");
    const QString here = money::fenToYuan2(f.fenHere);
    QString there = QStringLiteral("无");
    if (f.problem == Problem::Unresolved || f.problem == Problem::NoOrderNumber) {
        there = QString();
    } else if (f.fenAtGateway) {
        there = money::fenToYuan2(*f.fenAtGateway);
    }
    const QString order = f.orderNo.isEmpty() ? f.at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : f.orderNo;
    return {kind, order, here, there, problemText(f.problem)};
}

QString failedLine(const QString& why) {
    return QStringLiteral("未能与网关核对：%1").arg(why);
}

HandoverCheck::HandoverCheck(const PaymentContext& till, QObject* parent)
    : QObject(parent), m_till(till), m_fetch(new gateway::ListingFetch(till.gateway, this)) {
    qRegisterMetaType<reconcile::Result>();
    connect(m_fetch, &gateway::ListingFetch::pageRead, this,
            [this](int, int, const replies::ListingPage& page) { onPage(page); });
    connect(m_fetch, &gateway::ListingFetch::finished, this, &HandoverCheck::onFinished);
}

void HandoverCheck::setTimeout(int ms) {
    m_fetch->setTimeout(ms);
}

void HandoverCheck::start(const QDateTime& from, const QDateTime& to, const QString& shopId, const QString& token) {
    m_fetch->cancel();
    m_listed.clear();
    m_refundsToLookUp.clear();
    m_shopId = shopId;
    m_token = token;
    journal::Journal* j = m_till.journal;
    if (!j) {
        emit failed(QStringLiteral("收款记录文件不可用"));
        return;
    }
    QString error;
    m_attempts = j->between(from, to, shopId, &error);
    if (!error.isEmpty()) {
        emit failed(QStringLiteral("无法读取收款记录（%1）").arg(error));
        return;
    }
    m_wanted = wantedOrders(m_attempts);
    m_inRange = true;
    if (m_wanted.isEmpty()) {
        emit done(check(m_attempts, m_listed));  // nothing to look for (unresolved attempts are named all the same)
        return;
    }
    gateway::ListingFetch::Query query;
    query.token = token;
    query.startDate = chargecheck::rangeStart(from, kToleranceSecs, m_till.zone());
    query.endDate = chargecheck::rangeEnd(to, kToleranceSecs, m_till.zone());
    query.shopId = shopId;
    m_fetch->start(query);
}

void HandoverCheck::onPage(const replies::ListingPage& page) {
    // Only the journal's own orders are kept: a busy store's day costs no more memory than this till's sales.
    for (const Order& o : page.rows) {
        if (m_wanted.contains(o.outTradeNo) || m_wanted.contains(o.tradeNo)) {
            addListed(&m_listed, o);
        }
    }
}

void HandoverCheck::onFinished(const gateway::ListingFetch::Ending& ending) {
    if (!ending.ok) {
        const replies::Status& s = ending.failure;
        emit failed(s.refused() ? display::shown(s.message) : QStringLiteral("网关交易列表读取失败"));
        return;
    }
    if (m_inRange) {
        // The period is read: the orders of refunds paid before it are looked up one by one.
        m_inRange = false;
        const QSet<QString> missing = refundOrdersMissing(m_attempts, m_listed);
        m_refundsToLookUp = QList<QString>(missing.begin(), missing.end());
        std::sort(m_refundsToLookUp.begin(), m_refundsToLookUp.end());
    } else if (!m_refundsToLookUp.isEmpty()) {
        m_refundsToLookUp.removeFirst();
    }
    if (m_refundsToLookUp.isEmpty()) {
        emit done(check(m_attempts, m_listed));
        return;
    }
    gateway::ListingFetch::Query query;
    query.token = m_token;
    query.tradeNo = m_refundsToLookUp.first();
    query.shopId = m_shopId;
    m_fetch->start(query);
}

}  // namespace reconcile

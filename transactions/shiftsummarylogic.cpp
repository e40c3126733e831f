#include "transactions/shiftsummarylogic.h"

#include "app/shown.h"
#include "app/money.h"

namespace shiftsummary {

QString moneyLabel(std::optional<qint64> fen) {
    return fen ? QStringLiteral("￥") + money::fenToYuan2(*fen) + QStringLiteral("元") : QString();
}

Labels labelsFromTotals(const replies::Totals& t) {
    Labels l;
    l.start = t.time1;
    l.end = t.time2;
    l.total = moneyLabel(t.allFen);
    l.alipayMoney = moneyLabel(t.alipayFen);
    l.alipayRefund = moneyLabel(t.alipayRefundFen);
    l.wechatMoney = moneyLabel(t.wechatFen);
    l.wechatRefund = moneyLabel(t.wechatRefundFen);
    l.refundTotal = moneyLabel(t.refundFen);
    for (const replies::TicketTotal& ticket : t.tickets) {
        l.tickets.append({ticket.name, ticket.sum, ticket.count});
    }
    return l;
}

QString totalsFailure(const replies::Status& status) {
    return status.refused() ? display::shown(status.message) : QStringLiteral("数据查询失败，请检查网络设置");
}

QDateTime periodEnd(const QDateTime& shownEnd) {
    const QDateTime second = QDateTime::fromSecsSinceEpoch(shownEnd.toSecsSinceEpoch(), shownEnd.timeSpec());
    return second.addMSecs(999);
}

QString shopLabel(const Shop& shop) {
    return shop.mainName + shop.branchName;
}

int QueryState::startTotals() {
    m_outstanding = true;
    return ++m_latest;
}

bool QueryState::finishTotals(int id, bool ok) {
    if (id != m_latest) {
        return false;
    }
    m_outstanding = false;
    m_haveTotals = ok;
    return true;
}

}  // namespace shiftsummary

#include "transactions/shiftsummarylogic.h"

#include "app/money.h"
#include "gateway/reply.h"

#include <QJsonArray>

namespace shiftsummary {

QString moneyLabel(const QJsonValue& fen) {
    return QStringLiteral("￥") + money::fenToYuan2(money::fenFromText(fen.toString())) + QStringLiteral("元");
}

Labels labelsFromTotals(const QJsonObject& content) {
    Labels l;
    l.start = reply::str(content, "time1");
    l.end = reply::str(content, "time2");
    l.total = moneyLabel(content.value(QStringLiteral("allmoney")));
    const QJsonObject alipay = reply::obj(content, "ALIPAY");
    const QJsonObject wechat = reply::obj(content, "WECHAT");
    l.alipayMoney = moneyLabel(alipay.value(QStringLiteral("money")));
    l.alipayRefund = moneyLabel(alipay.value(QStringLiteral("refundmoney")));
    l.wechatMoney = moneyLabel(wechat.value(QStringLiteral("money")));
    l.wechatRefund = moneyLabel(wechat.value(QStringLiteral("refundmoney")));
    l.refundTotal = moneyLabel(content.value(QStringLiteral("refundmoney")));
    const QJsonArray tickets = reply::arr(content, "tickets");
    for (const QJsonValue& v : tickets) {
        const QJsonObject t = v.toObject();
        l.tickets.append({reply::str(t, "cardno"), reply::str(t, "sum"), reply::str(t, "num")});
    }
    return l;
}

bool isTotalsReply(const QJsonObject& content) {
    return content.contains(QStringLiteral("allmoney"));
}

QString shopLabel(const QJsonObject& shop) {
    return reply::str(shop, "main_name") + reply::str(shop, "branch_name");
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

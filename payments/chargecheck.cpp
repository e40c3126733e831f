#include "payments/chargecheck.h"

#include "app/money.h"
#include "gateway/gatewayclock.h"

#include <QRegularExpression>
#include <algorithm>

namespace chargecheck {

namespace {
const QString kRangeFormat = QStringLiteral("yyyy-M-d hh:mm:ss");

bool isAlipay(const QString& listed) {
    return listed == QStringLiteral("支付宝") || listed.compare(QLatin1String("ALIPAY"), Qt::CaseInsensitive) == 0;
}

bool isWechat(const QString& listed) {
    return listed == QStringLiteral("微信") || listed.compare(QLatin1String("WECHAT"), Qt::CaseInsensitive) == 0 ||
           listed.compare(QLatin1String("WEIXIN"), Qt::CaseInsensitive) == 0;
}
}  // namespace

Timing parseTiming(const QString& text) {
    Timing t;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        bool ok = false;
        const int value = part.section(QLatin1Char('='), 1).trimmed().toInt(&ok);
        if (!ok) {
            continue;
        }
        if (key == QLatin1String("tolerance") || key == QLatin1String("wallet")) {
            if (value >= 1) {
                (key == QLatin1String("wallet") ? t.walletSecs : t.clockToleranceSecs) = value;
            }
            continue;
        }
        if (value < 100) {
            continue;
        }
        if (key == QLatin1String("timeout")) {
            t.chargeTimeoutMs = value;
        } else if (key == QLatin1String("interval")) {
            t.intervalMs = value;
        } else if (key == QLatin1String("duration")) {
            t.durationMs = value;
        } else if (key == QLatin1String("list")) {
            t.listTimeoutMs = value;
        }
    }
    return t;
}

Timing timingFromEnvironment() {
#ifdef CASHIER_TEST_SEAMS
    return parseTiming(qEnvironmentVariable("CASHIER_TEST_CHARGE_TIMING"));
#else
    return Timing();
#endif
}

QString rangeText(const QDateTime& t, const QTimeZone& zone) {
    return gateway::inZone(t, zone).toString(kRangeFormat);
}

QString rangeStart(const QDateTime& sentAt, int toleranceSecs, const QTimeZone& zone) {
    return rangeText(sentAt.addSecs(-toleranceSecs), zone);
}

QString rangeEnd(const QDateTime& now, int toleranceSecs, const QTimeZone& zone) {
    return rangeText(now.addSecs(toleranceSecs), zone);
}

Window paymentWindow(const QDateTime& sentAt, const Timing& timing) {
    return Window{sentAt.addSecs(-timing.clockToleranceSecs), sentAt.addSecs(timing.walletSecs)};
}

bool numbered(const Order& row, const QSet<QString>& numbers) {
    return (!row.outTradeNo.isEmpty() && numbers.contains(row.outTradeNo)) ||
           (!row.tradeNo.isEmpty() && numbers.contains(row.tradeNo));
}

QString channelName(const QString& listed) {
    if (isAlipay(listed)) {
        return QStringLiteral("支付宝");
    }
    if (isWechat(listed)) {
        return QStringLiteral("微信");
    }
    return listed;
}

bool isPaidStatus(const QString& finalinfo) {
    const QString status = finalinfo.trimmed();
    if (status.isEmpty()) {
        return true;
    }
    static const QRegularExpression notPaid(
        QStringLiteral("退款|关闭|撤销|失败|未|不成功|待支付|支付中|取消|REFUND|CLOSED|REVOKED|FAIL|NOTPAY|USERPAYING|"
                       "PAYERROR|CANCEL"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression paid(QStringLiteral("成功|已支付|支付完成|已付款|SUCCESS|TRADE_FINISHED"),
                                         QRegularExpression::CaseInsensitiveOption);
    return !status.contains(notPaid) && status.contains(paid);
}

QList<Candidate> candidates(const Charge& charge, const QList<Order>& listing, const Window& window,
                            const QSet<QString>& excluded) {
    QList<Candidate> dated;
    QList<Candidate> undated;
    for (const Order& row : listing) {
        const qint64 fen = row.fen.value_or(-1);
        if (fen != charge.fen || fen <= 0 || !isPaidStatus(row.finalinfo)) {
            continue;
        }
        if (!row.shopId.isEmpty() && row.shopId != charge.shopId) {
            continue;
        }
        if (numbered(row, excluded)) {
            continue;
        }
        Candidate c;
        c.row = row;
        c.channel = channelName(row.payChannel);
        if (c.undated()) {
            undated.append(c);
            continue;
        }
        if (!window.contains(row.paidAt)) {
            continue;
        }
        dated.append(c);
    }
    std::stable_sort(dated.begin(), dated.end(),
                     [](const Candidate& a, const Candidate& b) { return a.row.paidAt > b.row.paidAt; });
    return dated + undated;
}

Order tradeContent(const Candidate& candidate, const QString& operatorName, const QString& shopName,
                   const QList<SoldTicket>& tickets) {
    Order sale = candidate.row;
    if (sale.operatorName.isEmpty()) {
        sale.operatorName = operatorName;
    }
    sale.outTradeNo = candidate.row.orderNo();
    const QString& listed = candidate.row.payChannel;
    sale.payChannel = isAlipay(listed)   ? QStringLiteral("ALIPAY")
                      : isWechat(listed) ? QStringLiteral("WECHAT")
                                         : listed;
    if (sale.shopName.isEmpty()) {
        sale.shopName = shopName;
    }
    sale.tickets = tickets;
    return sale;
}

QList<SoldTicket> ticketsSold(const QList<SoldKind>& kinds) {
    QList<SoldTicket> out;
    for (const SoldKind& k : kinds) {
        const QString price = money::fenToYuanTrimmed(k.priceFen);
        for (int i = 0; i < k.count; ++i) {
            out.append(SoldTicket{k.name, price});
        }
    }
    return out;
}

}  // namespace chargecheck

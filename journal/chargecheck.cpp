#include "journal/chargecheck.h"

#include "app/money.h"

#include <algorithm>

namespace chargecheck {

namespace {
const QString kRangeFormat = QStringLiteral("yyyy-M-d hh:mm:ss");

QString text(const QJsonObject& o, const char* key) {
    return replies::text(o, key);
}

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
        if (key == QLatin1String("tolerance")) {
            if (value >= 1) {
                t.clockToleranceSecs = value;
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

QString rangeStart(const QDateTime& sentAt, int toleranceSecs) {
    return sentAt.addSecs(-toleranceSecs).toString(kRangeFormat);
}

QString rangeEnd(const QDateTime& now, int toleranceSecs) {
    return now.addSecs(toleranceSecs).toString(kRangeFormat);
}

qint64 rowFen(const QJsonObject& row) {
    return replies::fen(row, "money").value_or(-1);
}

QDateTime parsePayDate(const QString& textIn) {
    const QString t = textIn.trimmed();
    if (t.isEmpty()) {
        return {};
    }
    bool isNumber = false;
    const qint64 secs = t.toLongLong(&isNumber);
    if (isNumber) {
        return secs > 0 ? QDateTime::fromSecsSinceEpoch(secs) : QDateTime();
    }
    for (const char* fmt : {"yyyy-MM-dd hh:mm:ss", "yyyy-M-d h:m:s", "yyyy/M/d h:m:s"}) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(fmt));
        if (dt.isValid()) {
            return dt;
        }
    }
    return {};
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

QList<Candidate> candidates(const Charge& charge, const QJsonArray& listing, const QDateTime& now, int toleranceSecs,
                            const QSet<QString>& declined) {
    const QDateTime from = charge.sentAt.addSecs(-toleranceSecs);
    const QDateTime to = now.addSecs(toleranceSecs);
    QList<Candidate> dated;
    QList<Candidate> undated;
    for (const QJsonValue& v : listing) {
        const QJsonObject row = v.toObject();
        Candidate c;
        c.row = row;
        c.fen = rowFen(row);
        if (c.fen != charge.fen || c.fen <= 0) {
            continue;
        }
        const QJsonValue shop = row.value(QLatin1String("shopid"));
        if (!shop.isUndefined() && !shop.isNull()) {
            const QString shopText = shop.isDouble() ? QString::number(shop.toDouble(), 'f', 0) : shop.toString();
            if (shopText != charge.shopId) {
                continue;
            }
        }
        c.orderNo = text(row, "out_trade_no");
        if (c.orderNo.isEmpty()) {
            c.orderNo = text(row, "trade_no");
        }
        if (!c.orderNo.isEmpty() && declined.contains(c.orderNo)) {
            continue;
        }
        c.channel = channelName(text(row, "pay_channel"));
        c.payDate = text(row, "pay_date");
        c.paidAt = parsePayDate(c.payDate);
        if (!c.paidAt.isValid()) {
            undated.append(c);
            continue;
        }
        if (c.paidAt < from || c.paidAt > to) {
            continue;
        }
        dated.append(c);
    }
    std::stable_sort(dated.begin(), dated.end(),
                     [](const Candidate& a, const Candidate& b) { return a.paidAt > b.paidAt; });
    return dated + undated;
}

replies::Sale tradeContent(const Candidate& candidate, const QString& operatorName, const QString& shopName,
                           const QList<replies::SoldTicket>& tickets) {
    const QJsonObject& row = candidate.row;
    replies::Sale sale;
    const QString listedOperator = replies::text(row, "operator");
    sale.operatorName = listedOperator.isEmpty() ? operatorName : listedOperator;
    sale.outTradeNo = candidate.orderNo;
    sale.tradeNo = replies::text(row, "trade_no");
    const QString listed = replies::text(row, "pay_channel");
    sale.channel = isAlipay(listed) ? QStringLiteral("ALIPAY") : isWechat(listed) ? QStringLiteral("WECHAT") : listed;
    sale.fen = candidate.fen;
    sale.payDate = candidate.payDate;
    const QString listedShop = replies::text(row, "shopname");
    sale.shopName = listedShop.isEmpty() ? shopName : listedShop;
    sale.tickets = tickets;
    return sale;
}

QList<replies::SoldTicket> ticketsSold(const QList<SoldKind>& kinds) {
    QList<replies::SoldTicket> out;
    for (const SoldKind& k : kinds) {
        const QString price = money::fenToYuanTrimmed(k.priceFen);
        for (int i = 0; i < k.count; ++i) {
            out.append(replies::SoldTicket{k.name, price});
        }
    }
    return out;
}

ListingPage readListing(const gateway::Reply& reply) {
    ListingPage page;
    const QJsonObject content = reply.content();
    const QJsonValue rows = content.value(QLatin1String("listpay"));
    if (!reply.ok() || !rows.isArray()) {
        return page;
    }
    page.ok = true;
    page.rows = rows.toArray();
    page.totalPages = qMax(1, replies::integer(content, "total_page").value_or(1));
    return page;
}

}  // namespace chargecheck

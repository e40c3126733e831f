#include "collect/chargecheck.h"

#include "app/money.h"

#include <QRegularExpression>
#include <algorithm>

namespace chargecheck {

namespace {
const QString kRangeFormat = QStringLiteral("yyyy-M-d hh:mm:ss");

QString text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
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
    const QJsonValue v = row.value(QLatin1String("money"));
    if (v.isDouble()) {
        const double d = v.toDouble();
        // Whole fen only: 12.5 fen is not an amount the client ever charges.
        if (d >= 0 && d < 1e15 && d == static_cast<double>(static_cast<qint64>(d))) {
            return static_cast<qint64>(d);
        }
        return -1;
    }
    if (v.isString()) {
        static const QRegularExpression digits(QStringLiteral("^\\s*\\d{1,15}\\s*$"));
        return digits.match(v.toString()).hasMatch() ? money::fenFromText(v.toString()) : -1;
    }
    return -1;
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

QJsonObject tradeContent(const Candidate& candidate, const QString& operatorName, const QString& shopName,
                         const QJsonArray& tickets) {
    const QJsonObject& row = candidate.row;
    const bool alipay = isAlipay(text(row, "pay_channel"));
    QJsonObject content;
    content.insert(QStringLiteral("msg"), QStringLiteral("成功"));
    const QString listedOperator = text(row, "operator");
    content.insert(QStringLiteral("operator"), listedOperator.isEmpty() ? operatorName : listedOperator);
    content.insert(QStringLiteral("out_trade_no"), candidate.orderNo);
    content.insert(QStringLiteral("trade_no"), text(row, "trade_no"));
    if (alipay) {
        content.insert(QStringLiteral("pay_channel"), QStringLiteral("ALIPAY"));
        content.insert(QStringLiteral("money"), static_cast<double>(candidate.fen));
    } else {
        const QString listed = text(row, "pay_channel");
        content.insert(QStringLiteral("pay_channel"), isWechat(listed) ? QStringLiteral("WECHAT") : listed);
        content.insert(QStringLiteral("money"), QString::number(candidate.fen));
    }
    content.insert(QStringLiteral("tickets"), tickets);
    content.insert(QStringLiteral("pay_date"), candidate.payDate);
    const QString listedShop = text(row, "shopname");
    content.insert(QStringLiteral("shopname"), listedShop.isEmpty() ? shopName : listedShop);
    return content;
}

QJsonArray ticketsSold(const QList<SoldKind>& kinds) {
    QJsonArray out;
    for (const SoldKind& k : kinds) {
        const QString price = money::fenToYuanTrimmed(k.priceFen);
        for (int i = 0; i < k.count; ++i) {
            out.append(QJsonObject{{QStringLiteral("cardno"), k.name}, {QStringLiteral("price"), price}});
        }
    }
    return out;
}

}  // namespace chargecheck

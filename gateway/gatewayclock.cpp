#include "gateway/gatewayclock.h"

#include "app/logcategories.h"

#include <QLocale>
#include <QMutex>
#include <QString>
#include <cstdlib>

namespace gateway {

namespace {
// Replies are read on the GUI thread, but the operations log and tests may ask from elsewhere.
QMutex& lock() {
    static QMutex m;
    return m;
}
std::optional<qint64>& offset() {
    static std::optional<qint64> value;
    return value;
}

// The offset as the cashier reads it: whole minutes (the warning starts at two), rounded.
QString minutesText(qint64 ms) {
    return QStringLiteral("约 %1 分钟").arg((std::llabs(ms) + 30000) / 60000);
}
}  // namespace

QDateTime parseHttpDate(const QByteArray& raw) {
    // The weekday is left out: it says nothing the date does not (and a two-digit year would fail its check).
    const QString text = QString::fromLatin1(raw).simplified();
    const int comma = text.indexOf(QLatin1Char(','));
    const QString date = comma >= 0 ? text.mid(comma + 1).trimmed() : text.section(QLatin1Char(' '), 1);
    const QLocale c = QLocale::c();
    // IMF-fixdate, then RFC 850, then asctime (whose day is padded with a space, gone after simplified()).
    for (const char* format : {"dd MMM yyyy HH:mm:ss 'GMT'", "dd-MMM-yy HH:mm:ss 'GMT'", "MMM d HH:mm:ss yyyy"}) {
        const QDateTime t = c.toDateTime(date, QLatin1String(format));
        if (t.isValid()) {
            // Read as wall-clock fields, then taken as UTC (never through this PC's time zone).
            const QDate day = t.date().year() < 1970 ? t.date().addYears(100) : t.date();  // RFC 850's "yy"
            return QDateTime(day, t.time(), Qt::UTC);
        }
    }
    return QDateTime();
}

qint64 clockOffsetMs(const QDateTime& serverDate, qint64 sentMs, qint64 receivedMs) {
    const qint64 server = serverDate.toMSecsSinceEpoch() + 500;
    const qint64 local = sentMs + (receivedMs - sentMs) / 2;
    return server - local;
}

std::optional<qint64> gatewayClockOffsetMs() {
    QMutexLocker guard(&lock());
    return offset();
}

void setGatewayClockOffsetMs(std::optional<qint64> offsetMs) {
    QMutexLocker guard(&lock());
    offset() = offsetMs;
}

void noteGatewayDate(const QByteArray& dateHeader, qint64 sentMs, qint64 receivedMs) {
    const QDateTime server = parseHttpDate(dateHeader);
    if (!server.isValid() || receivedMs < sentMs) {
        return;
    }
    const qint64 now = clockOffsetMs(server, sentMs, receivedMs);
    std::optional<qint64> before;
    {
        QMutexLocker guard(&lock());
        before = offset();
        offset() = now;
    }
    if (!before || std::llabs(*before - now) > kClockNoticeMs) {
        qCInfo(lcGateway).noquote() << "gateway clock:" << (now >= 0 ? "ahead of" : "behind") << "this PC by"
                                    << std::llabs(now) << "ms";
    }
}

QDateTime onGatewayClock(const QDateTime& local) {
    const std::optional<qint64> ms = gatewayClockOffsetMs();
    return ms ? local.addMSecs(*ms) : local;
}

QString clockWarning(std::optional<qint64> offsetMs) {
    if (!offsetMs || std::llabs(*offsetMs) <= kClockWarnMs) {
        return QString();
    }
    return QStringLiteral("本机时间比网关%1%2，请校准电脑时间；交易核对按网关时间进行。")
        .arg(*offsetMs > 0 ? QStringLiteral("慢") : QStringLiteral("快"), minutesText(*offsetMs));
}

}  // namespace gateway

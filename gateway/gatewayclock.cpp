#include "gateway/gatewayclock.h"

#include "app/logcategories.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <cstdlib>

namespace gateway {

namespace {

constexpr int kDefaultZoneSecs = 8 * 3600;

// The offset as the cashier reads it: whole minutes (the warning starts at two), rounded.
QString minutesText(qint64 ms) {
    return QStringLiteral("约 %1 分钟").arg((std::llabs(ms) + 30000) / 60000);
}

QString utcOffsetText(int secs) {
    const int minutes = std::abs(secs) / 60;
    QString text =
        QStringLiteral("UTC") + (secs < 0 ? QLatin1Char('-') : QLatin1Char('+')) + QString::number(minutes / 60);
    if (minutes % 60) {
        text += QStringLiteral(":%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
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

qint64 monotonicMs() {
    static const QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

QTimeZone defaultZone() {
    return QTimeZone(kDefaultZoneSecs);
}

std::optional<qint64> Clock::offsetMs() const {
    QMutexLocker guard(&m_lock);
    if (!m_anchor) {
        return std::nullopt;
    }
    return m_anchor->offsetMs;
}

void Clock::setOffsetMs(std::optional<qint64> offsetMs) {
    QMutexLocker guard(&m_lock);
    if (offsetMs) {
        m_anchor = Anchor{QDateTime::currentMSecsSinceEpoch() + *offsetMs, monotonicMs(), *offsetMs};
    } else {
        m_anchor.reset();
    }
}

void Clock::noteDate(const QByteArray& dateHeader, qint64 sentMs, qint64 receivedMs, qint64 sentMono,
                     qint64 receivedMono) {
    const QDateTime server = parseHttpDate(dateHeader);
    if (!server.isValid() || receivedMono < sentMono) {
        return;
    }
    const qint64 offset = clockOffsetMs(server, sentMs, receivedMs);
    // The header was stamped between the two moments: its second's middle is taken for their midpoint.
    const Anchor now{server.toMSecsSinceEpoch() + 500, sentMono + (receivedMono - sentMono) / 2, offset};
    std::optional<qint64> before;
    {
        QMutexLocker guard(&m_lock);
        if (m_anchor) {
            before = m_anchor->serverMs + (now.mono - m_anchor->mono) - now.serverMs;
        }
        m_anchor = now;
    }
    if (!before || std::llabs(*before) > kClockNoticeMs) {
        qCInfo(lcGateway).noquote() << "gateway clock:" << (offset >= 0 ? "ahead of" : "behind") << "this PC by"
                                    << std::llabs(offset) << "ms";
    }
}

QDateTime Clock::now() const {
    QMutexLocker guard(&m_lock);
    if (!m_anchor) {
        return QDateTime::currentDateTimeUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(m_anchor->serverMs + (monotonicMs() - m_anchor->mono), Qt::UTC);
}

QTimeZone Clock::zone() const {
    QMutexLocker guard(&m_lock);
    return m_zone;
}

void Clock::setZone(const QTimeZone& z) {
    QMutexLocker guard(&m_lock);
    m_zone = z.isValid() ? z : defaultZone();
}

QDateTime Clock::wallFields(const QDateTime& t) const {
    const QDateTime there = inZone(t);
    // Read as fields: a date edit shows what it is given in its own (local) terms.
    return there.isValid() ? QDateTime(there.date(), there.time()) : QDateTime();
}

QString Clock::warning(int localZoneOffsetSecs) const {
    return clockWarning(offsetMs(), localZoneOffsetSecs, zone().offsetFromUtc(now()));
}

std::optional<QTimeZone> zoneFromSetting(const QString& textIn) {
    const QString text = textIn.trimmed();
    if (text.isEmpty()) {
        return QTimeZone(kDefaultZoneSecs);
    }
    static const QRegularExpression offset(QStringLiteral("^(?:UTC|GMT)?\\s*([+-])(\\d{1,2})(?::?(\\d{2}))?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = offset.match(text);
    if (m.hasMatch()) {
        const int hours = m.captured(2).toInt();
        const int minutes = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
        if (hours > 14 || minutes > 59) {
            return std::nullopt;
        }
        const int secs = (hours * 3600 + minutes * 60) * (m.captured(1) == QLatin1String("-") ? -1 : 1);
        return QTimeZone(secs);
    }
    if (text.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0) {
        return QTimeZone(0);
    }
    const QTimeZone named(text.toUtf8());
    return named.isValid() ? std::optional<QTimeZone>(named) : std::nullopt;
}

QDateTime inZone(const QDateTime& t, const QTimeZone& zone) {
    return t.isValid() ? t.toTimeZone(zone) : t;
}

QDateTime fromWall(const QDate& date, const QTime& time, const QTimeZone& zone) {
    if (!date.isValid() || !time.isValid()) {
        return QDateTime();
    }
    return QDateTime(date, time, zone);
}

QString clockWarning(std::optional<qint64> offsetMs, int localZoneOffsetSecs, int gatewaySecs) {
    if (!offsetMs || std::llabs(*offsetMs) <= kClockWarnMs) {
        return QString();
    }
    // A PC whose wall clock shows the gateway's time in the wrong zone is off by the zones' difference.
    const qint64 zoneDifferenceMs = qint64(localZoneOffsetSecs - gatewaySecs) * 1000;
    if (zoneDifferenceMs != 0 && std::llabs(*offsetMs - zoneDifferenceMs) <= kClockWarnMs) {
        return QStringLiteral(
                   "本机的时区设置不对：本机是 %1，网关是 %2。请在电脑的日期和时间设置中把时区改为 %2，再校准时间；"
                   "交易核对按网关的时间和时区进行。")
            .arg(utcOffsetText(localZoneOffsetSecs), utcOffsetText(gatewaySecs));
    }
    return QStringLiteral("本机时间比网关%1%2，请校准电脑时间；交易核对按网关时间进行。")
        .arg(*offsetMs > 0 ? QStringLiteral("慢") : QStringLiteral("快"), minutesText(*offsetMs));
}

}  // namespace gateway

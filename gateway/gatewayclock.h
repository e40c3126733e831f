#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QTimeZone>
#include <optional>

// The gateway's clock, as the Date header of its replies tells it. Shop PCs drift by minutes and get corrected (a time
// sync, a reboot, a cashier obeying the sign-in warning); the gateway lists a sale at its own time. So the till keeps
// "now" on the gateway's clock: the last header's time carried forward on a monotonic timer, which no correction of
// the PC's clock moves. Every attempt is stamped with it, and every look-up range and match window is drawn on it.
//
// The gateway's wall-clock times (pay_date, listing ranges, the handover period) are in its own time zone, China
// Standard Time unless data.ini names another, never in the PC's: a shop PC set to the wrong zone with its wall clock
// set by hand reads and writes them right all the same.
namespace gateway {

// An HTTP date ("Tue, 08 Dec 2026 09:00:00 GMT", the obsolete RFC 850 and asctime forms too) as UTC; invalid when it
// is none of them.
QDateTime parseHttpDate(const QByteArray& text);

// The gateway's time minus this PC's, in milliseconds, from a reply whose Date header said `serverDate` and that
// went out at `sentMs` and came back at `receivedMs` (local ms since the epoch). The header has whole seconds and
// is stamped somewhere between the two, so the midpoint is taken and the header's second rounded to its middle.
qint64 clockOffsetMs(const QDateTime& serverDate, qint64 sentMs, qint64 receivedMs);

// Milliseconds on a monotonic clock of this process (never moved by a correction of the PC's clock).
qint64 monotonicMs();

// A moment as a wall clock in `zone` shows it.
QDateTime inZone(const QDateTime& t, const QTimeZone& zone);
// The moment a wall clock in `zone` shows as this date and time; invalid when either is.
QDateTime fromWall(const QDate& date, const QTime& time, const QTimeZone& zone);

// The zone a data.ini value names: an IANA name ("Asia/Shanghai"), "UTC+08:00", "UTC+8", "+8" or "+08:00"; empty is
// UTC+8. Nullopt when it names none.
std::optional<QTimeZone> zoneFromSetting(const QString& text);
// UTC+8, the gateway's zone unless data.ini names another.
QTimeZone defaultZone();

// One till's view of its gateway's clock and zone. The till owns it; every request of the till sets it from its
// reply's Date header, and the journal, the look-ups and the windows read "now" and wall-clock times through it.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    // The offset of the last reply that carried a Date header, as measured then; nullopt until one did. ("Now" is
    // now(), which a later correction of the PC's clock does not move.)
    std::optional<qint64> offsetMs() const;
    // Records what a reply said: `sentMs`/`receivedMs` on the PC's clock, the same moments on monotonicMs(). Logs the
    // offset when it is first known and when it moves by more than kClockNoticeMs.
    void noteDate(const QByteArray& dateHeader, qint64 sentMs, qint64 receivedMs, qint64 sentMono, qint64 receivedMono);
    // Sets or forgets the gateway's time outright: `offsetMs` from the PC's clock as it reads now (a test).
    void setOffsetMs(std::optional<qint64> offsetMs);
    // Now on the gateway's clock (UTC): the last Date header carried forward on the monotonic clock; this PC's clock
    // until a header came.
    QDateTime now() const;

    // The gateway's time zone: UTC+8 unless set from data.ini.
    QTimeZone zone() const;
    void setZone(const QTimeZone& zone);
    // A moment as the gateway's wall clock shows it.
    QDateTime inZone(const QDateTime& t) const { return gateway::inZone(t, zone()); }
    // The moment the gateway's wall clock shows as this date and time (a period's bound).
    QDateTime fromWall(const QDate& date, const QTime& time) const { return gateway::fromWall(date, time, zone()); }
    // The date and time fields of `wall` (a date edit's, which knows no zone) read on the gateway's wall clock.
    QDateTime fromWall(const QDateTime& wall) const { return fromWall(wall.date(), wall.time()); }
    // The gateway's wall-clock fields of `t` as a zone-less value, for a date edit to show.
    QDateTime wallFields(const QDateTime& t) const;

    // What the cashier is told at sign-in when this PC's clock is off the gateway's (see clockWarning); empty
    // otherwise. `localZoneOffsetSecs` is the PC's zone's offset from UTC.
    QString warning(int localZoneOffsetSecs) const;

private:
    // The gateway's time (ms since the epoch) at a moment of the monotonic clock, and its offset from this PC's clock
    // as measured then.
    struct Anchor {
        qint64 serverMs = 0;
        qint64 mono = 0;
        qint64 offsetMs = 0;
    };
    // Replies are read on the GUI thread, but the operations log and tests may ask from elsewhere.
    mutable QMutex m_lock;
    std::optional<Anchor> m_anchor;
    QTimeZone m_zone = defaultZone();
};

// Beyond this the cashier is told at sign-in that the PC's clock is off.
constexpr qint64 kClockWarnMs = 2 * 60 * 1000;
constexpr qint64 kClockNoticeMs = 30 * 1000;
// What the cashier is told when the PC's clock is more than kClockWarnMs off the gateway's; empty otherwise. A PC
// whose wall clock is right but whose zone is not the gateway's (`localZoneOffsetSecs` from UTC, the PC's, against
// the gateway's `gatewayZoneOffsetSecs`) is told that its time zone is wrong.
QString clockWarning(std::optional<qint64> offsetMs, int localZoneOffsetSecs, int gatewayZoneOffsetSecs);

}  // namespace gateway

#pragma once

#include <QByteArray>
#include <QDateTime>
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

// The offset of the last reply that carried a Date header, as measured then; nullopt until one did. (The till's "now"
// is gatewayNow(), which a later correction of the PC's clock does not move.)
std::optional<qint64> gatewayClockOffsetMs();
// Records what a reply said (HttpFun calls it for every answer): `sentMs`/`receivedMs` on the PC's clock, the same
// moments on monotonicMs(). Logs the offset when it is first known and when it moves by more than kClockNoticeMs.
void noteGatewayDate(const QByteArray& dateHeader, qint64 sentMs, qint64 receivedMs, qint64 sentMono,
                     qint64 receivedMono);
// Sets or forgets the gateway's time outright: `offsetMs` from the PC's clock as it reads now (a test, a new session).
void setGatewayClockOffsetMs(std::optional<qint64> offsetMs);

// Now on the gateway's clock (UTC): the last Date header carried forward on the monotonic clock; this PC's clock until
// a header came.
QDateTime gatewayNow();

// The gateway's time zone: UTC+8 unless set from data.ini.
QTimeZone gatewayZone();
void setGatewayZone(const QTimeZone& zone);
// The zone a data.ini value names: an IANA name ("Asia/Shanghai"), "UTC+08:00", "UTC+8", "+8" or "+08:00"; empty is
// UTC+8. Nullopt when it names none.
std::optional<QTimeZone> zoneFromSetting(const QString& text);
// A moment as the gateway's wall clock shows it.
QDateTime inGatewayZone(const QDateTime& t);
// The moment the gateway's wall clock shows as this date and time (a listed pay_date, a period's bound).
QDateTime fromGatewayWall(const QDate& date, const QTime& time);
// The date and time fields of `wall` (a date edit's, which knows no zone) read on the gateway's wall clock.
QDateTime fromGatewayWall(const QDateTime& wall);
// The gateway's wall-clock fields of `t` as a zone-less value, for a date edit to show.
QDateTime gatewayWallFields(const QDateTime& t);

// Beyond this the cashier is told at sign-in that the PC's clock is off.
constexpr qint64 kClockWarnMs = 2 * 60 * 1000;
constexpr qint64 kClockNoticeMs = 30 * 1000;
// What the cashier is told when the PC's clock is more than kClockWarnMs off the gateway's; empty otherwise. A PC
// whose wall clock is right but whose zone is not the gateway's (`localZoneOffsetSecs` from UTC, the PC's) is told
// that its time zone is wrong.
QString clockWarning(std::optional<qint64> offsetMs, int localZoneOffsetSecs);

}  // namespace gateway

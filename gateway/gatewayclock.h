#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

// The gateway's clock, as the Date header of its replies tells it. Shop PCs drift by minutes; the gateway lists a
// sale at its own time, so every look-up range and match window is drawn on the gateway's clock once it is known.
namespace gateway {

// An HTTP date ("Tue, 08 Dec 2026 09:00:00 GMT", the obsolete RFC 850 and asctime forms too) as UTC; invalid when it
// is none of them.
QDateTime parseHttpDate(const QByteArray& text);

// The gateway's time minus this PC's, in milliseconds, from a reply whose Date header said `serverDate` and that
// went out at `sentMs` and came back at `receivedMs` (local ms since the epoch). The header has whole seconds and
// is stamped somewhere between the two, so the midpoint is taken and the header's second rounded to its middle.
qint64 clockOffsetMs(const QDateTime& serverDate, qint64 sentMs, qint64 receivedMs);

// The offset of the last reply that carried a Date header; nullopt until one did.
std::optional<qint64> gatewayClockOffsetMs();
// Records what a reply said (HttpFun calls it for every answer). Logs the offset when it is first known and when it
// moves by more than kClockNoticeMs.
void noteGatewayDate(const QByteArray& dateHeader, qint64 sentMs, qint64 receivedMs);
// Sets or forgets the offset outright (a new session, a test).
void setGatewayClockOffsetMs(std::optional<qint64> offsetMs);

// A local time on the gateway's clock (unchanged while the offset is not known).
QDateTime onGatewayClock(const QDateTime& local);

// Beyond this the cashier is told at sign-in that the PC's clock is off.
constexpr qint64 kClockWarnMs = 2 * 60 * 1000;
constexpr qint64 kClockNoticeMs = 30 * 1000;
// What the cashier is told when the PC's clock is more than kClockWarnMs off the gateway's; empty otherwise.
QString clockWarning(std::optional<qint64> offsetMs);

}  // namespace gateway

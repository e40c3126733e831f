#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace gateway {
class Clock;
}

// The till's time for the windows: now on the gateway's clock (the till's), and times as the gateway's wall clock
// (its zone, not this PC's) shows them. Date edits know no zone: they are handed the gateway's wall-clock fields and
// read back the same way.
namespace tilltime {

QDateTime now(const gateway::Clock& clock);
// The gateway's date today.
QDate today(const gateway::Clock& clock);
// "yyyy-MM-dd hh:mm:ss" on the gateway's wall clock; empty for an invalid time.
QString text(const gateway::Clock& clock, const QDateTime& t);
// The fields a date edit shows for `t`, and the moment a date edit's fields name.
QDateTime wallFields(const gateway::Clock& clock, const QDateTime& t);
QDateTime fromWall(const gateway::Clock& clock, const QDateTime& fields);

}  // namespace tilltime

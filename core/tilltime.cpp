#include "core/tilltime.h"

#include "gateway/gatewayclock.h"

namespace tilltime {

QDateTime now(const gateway::Clock& clock) {
    return clock.now();
}

QDate today(const gateway::Clock& clock) {
    return clock.inZone(clock.now()).date();
}

QString text(const gateway::Clock& clock, const QDateTime& t) {
    return t.isValid() ? clock.inZone(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QString();
}

QDateTime wallFields(const gateway::Clock& clock, const QDateTime& t) {
    return clock.wallFields(t);
}

QDateTime fromWall(const gateway::Clock& clock, const QDateTime& fields) {
    return clock.fromWall(fields);
}

}  // namespace tilltime

#include "core/tilltime.h"

#include "gateway/gatewayclock.h"

namespace tilltime {

QDateTime now() {
    return gateway::gatewayNow();
}

QDate today() {
    return gateway::inGatewayZone(gateway::gatewayNow()).date();
}

QString text(const QDateTime& t) {
    return t.isValid() ? gateway::inGatewayZone(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QString();
}

QDateTime wallFields(const QDateTime& t) {
    return gateway::gatewayWallFields(t);
}

QDateTime fromWall(const QDateTime& fields) {
    return gateway::fromGatewayWall(fields);
}

}  // namespace tilltime

#include "gatewayurl.h"

#include "app/dataconfig.h"

#include <QHostAddress>
#include <QUrl>

QString GatewayUrl(DataConfig& config) {
    return config.gatewayUrl();
}

bool isCleartextToOtherHost(const QString& url) {
    const QUrl parsed(url.trimmed());
    if (parsed.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    const QString host = parsed.host();
    if (host.isEmpty()) {
        return false;  // no address at all: nothing goes anywhere
    }
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive)) {
        return false;
    }
    // 127.0.0.0/8 and ::1 never leave this computer; a name or any other address may.
    const QHostAddress address(host);
    return address.isNull() || !address.isLoopback();
}

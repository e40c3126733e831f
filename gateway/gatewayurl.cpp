#include "gatewayurl.h"

#include "app/dataconfig.h"

QString GatewayUrl() {
    return dataConfig().gatewayUrl();
}

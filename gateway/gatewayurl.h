#pragma once

#include <QString>

// The one gateway endpoint every screen posts to ("gatewayUrl" in data.ini, the local sandbox by default).
QString GatewayUrl();

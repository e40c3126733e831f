#pragma once

#include <QString>

class DataConfig;

// The one gateway endpoint the till posts to ("gatewayUrl" in data.ini, else the installer's site file; empty when
// neither names one).
QString GatewayUrl(DataConfig& config);

// True when `url` sends requests unencrypted over the network: plain http to a host other than this computer. Over a
// shop's network such a gateway sees login passwords, refund passwords and payment codes in clear.
bool isCleartextToOtherHost(const QString& url);

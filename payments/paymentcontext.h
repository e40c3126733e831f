#pragma once

#include "app/dataconfig.h"
#include "gateway/gatewayurl.h"

#include <QString>

class UserSession;
class ChargeRegistry;
namespace journal {
class Journal;
}

// What a charge, a refund or the handover check needs of the till it runs at: the journal every attempt is written
// to, the signed-in session (token, cashier, stores) and where the gateway is. The till hands it out; the payment
// domain keeps no process-wide state of its own for it.
struct PaymentContext {
    journal::Journal* journal = nullptr;
    const UserSession* session = nullptr;
    DataConfig* settings = nullptr;
    // The till's live charges (its charge service's): a controller enters it while it lives.
    ChargeRegistry* charges = nullptr;

    // Read when a request goes out, as every request of the till reads it.
    QString gatewayUrl() const { return GatewayUrl(*settings); }
};

#pragma once

#include "gateway/gatewaycall.h"

class UserSession;
class ChargeRegistry;
namespace journal {
class Journal;
}

// What a charge, a refund or the handover check needs of the till it runs at: the journal every attempt is written
// to, the signed-in session (token, cashier, stores), the way to the gateway with the till's clock. The till hands it
// out; the payment domain keeps no process-wide state of its own for it.
struct PaymentContext {
    journal::Journal* journal = nullptr;
    const UserSession* session = nullptr;
    gateway::Link gateway;
    // The till's live charges (its charge service's): a controller enters it while it lives.
    ChargeRegistry* charges = nullptr;

    // Now on the gateway's clock, and its zone.
    QDateTime now() const { return gateway.clock().now(); }
    QTimeZone zone() const { return gateway.clock().zone(); }
};

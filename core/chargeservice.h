#pragma once

#include "core/services.h"
#include "payments/chargecontroller.h"
#include "payments/reconcile.h"

// Charges: the controller that takes one sale's charge through its whole life, the till's open-attempt rule, the
// charges an earlier run left open, and the shift handover's check of this till's record.
class ChargeService {
public:
    explicit ChargeService(Till& till) : m_till(till) {}

    // A charge of `fen`, owned by `parent`.
    ChargeController* controller(qint64 fen, QObject* parent);
    // Whether a new charge may go out now; `why` says why not, as the cashier reads it.
    bool mayStart(QString* why);
    // The open charges of the till (any store) that no controller of this copy holds and no other running copy is
    // sending, each taken over by this copy to be looked up. `elsewhere` gets what the cashier is told of one that
    // another copy holds.
    QList<journal::Attempt> takeOverOpen(QString* elsewhere);
    // The check of the journal against the gateway's listing for a period, owned by `parent`.
    reconcile::HandoverCheck* handoverCheck(QObject* parent);
    // What the cashier is told before the client ends while money may be moving (a charge or a refund on its way or
    // being looked up, an outcome not yet written), naming it; empty when nothing is.
    QString moneyMoving();
    // The last paid charge whose result window the client never showed (it ended in between), as the cashier is told
    // of it once, after the next sign-in; empty when there is none.
    QString paidUnshownNotice();

private:
    Till& m_till;
};

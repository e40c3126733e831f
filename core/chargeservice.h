#pragma once

#include "core/services.h"
#include "payments/chargecontroller.h"
#include "payments/reconcile.h"
#include "receipts/printhtmlreceipt.h"

#include <QObject>
#include <optional>

class ReceiptService;
class RefundService;

// Charges: the controller that takes one sale's charge through its whole life, the till's open-attempt rule, the
// charges an earlier run left open, and the shift handover's check of this till's record.
class ChargeService : public QObject {
    Q_OBJECT

public:
    ChargeService(PaymentSource till, ReceiptService& receipts, RefundService& refunds)
        : m_till(std::move(till)), m_receipts(receipts), m_refunds(refunds) {}

    // A charge of `fen`, owned by `parent`. When it is paid (by its reply or by a payment the cashier confirmed in the
    // listing) its receipt is printed here and salePaid follows.
    ChargeController* controller(qint64 fen, QObject* parent);
    // A paid sale's receipt on the chosen printer, reported to the gateway once printed; nullopt when no receipts are
    // printed.
    std::optional<receipts::PrintResult> printPaid(const Order& sale);
    // Whether a new charge may go out now; `why` says why not, as the cashier reads it.
    bool mayStart(QString* why);
    // The till's charge whose money may be moving (looking back, sending, checking, unresolved), if any.
    ChargeController* current() const { return m_live.busy(); }
    // The live charge that holds the journal's attempt `id`, if any.
    ChargeController* holding(qint64 attemptId) const { return m_live.holding(attemptId); }
    ChargeRegistry& registry() { return m_live; }
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
signals:
    // A charge of the till was paid: the sale as the result window shows it, and how its receipt printed. The page
    // that took the sale clears itself here; the charge's window shows the result.
    void salePaid(ChargeController* charge, const Order& sale, const std::optional<receipts::PrintResult>& printed);

private:
    PaymentSource m_till;
    ReceiptService& m_receipts;
    RefundService& m_refunds;
    ChargeRegistry m_live;
};

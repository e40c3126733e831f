#pragma once

#include <QList>
#include <QPointer>

#include "core/services.h"
#include "payments/refundguard.h"

// Refunds: the items of an order, and the guard that takes one refund of one order through its whole life.
class RefundService {
public:
    explicit RefundService(PaymentSource till) : m_till(std::move(till)) {}

    // "Account.Pay.cards": the items of order `orderNo`.
    void items(QObject* receiver, const QString& orderNo, Finished<replies::Read<replies::Items>> done);
    // A refund of order `orderNo`, owned by `parent`: written to the journal before it is sent, looked up when its
    // answer is unclear.
    RefundGuard* guard(const QString& orderNo, QObject* parent);
    // A refund of this till whose money may be moving (reading, sending, checking), if any.
    RefundGuard* busyGuard() const;
    // Refunds an earlier run left without an answer, as the cashier is told of them at sign-in (those another running
    // copy is sending are its own); empty when there are none.
    QString openRefundsNotice();

private:
    PaymentSource m_till;
    QList<QPointer<RefundGuard>> m_guards;
};

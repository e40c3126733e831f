#pragma once

#include "core/services.h"

#include <QObject>
#include <QString>

// The print time, the totals of a period and the print record: what the shift summary asks the gateway.
class TotalsService {
public:
    explicit TotalsService(PaymentSource till) : m_till(std::move(till)) {}
    // "Account.Print.prinTtime": the period the gateway proposes.
    void printTime(QObject* receiver, Finished<replies::Read<replies::PrintTime>> done);
    // "Account.Pay.listSumTicket" for the period from `from` to `to` (whole seconds).
    void totals(QObject* receiver, qint64 from, qint64 to, Finished<replies::Read<replies::Totals>> done);
    // "Account.Print.logPrint": the summary of that period was printed.
    void logPrint(QObject* receiver, qint64 from, qint64 to, Finished<replies::Status> done);
    // The charges and refunds of this copy whose outcome is open, as the cashier reads them; empty when there are
    // none. The next copy must not start with them: their replies would be lost, and the next cashier asked about
    // sales they never made.
    QString openMoney();

private:
    PaymentSource m_till;
};

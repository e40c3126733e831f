#pragma once

#include "gateway/gatewaycall.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/receipthtml.h"

#include <QString>

class DataConfig;
class UserSession;

// Receipts on the printer data.ini names, and the gateway's record of a sale's receipt: printing a receipt and
// reporting it are one step, so a sale's path never climbs back into the gateway from a window.
class ReceiptService {
public:
    ReceiptService(const gateway::Link& gateway, const UserSession& session, DataConfig& settings)
        : m_gateway(gateway), m_session(session), m_settings(settings) {}

    // Whether a sale's receipt prints by itself: a printer is chosen.
    bool printsSales();
    // For a receipt the cashier asks for: the warning to show instead of printing, empty when it may go on.
    QString printWarning();
    // The merchant's service line every receipt carries.
    QString servicePhone();
    // One copy of `html` on the chosen printer.
    receipts::PrintResult print(const QString& html);
    // Receipts go to `sink` instead of the printer (tests and benchmarks); an empty one restores the printer.
    void setSink(receipts::ReceiptSink sink) { m_sink = std::move(sink); }
    // A sale's receipt. Once the print system has taken it, the gateway is told ("Account.Print.doprint", its answer
    // changes nothing): it then records a receipt that exists.
    receipts::PrintResult printSale(receipts::SaleReceipt receipt);

private:
    const gateway::Link& m_gateway;
    const UserSession& m_session;
    DataConfig& m_settings;
    receipts::ReceiptSink m_sink;
};

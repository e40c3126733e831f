#include "core/receiptservice.h"

#include "core/till.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

bool ReceiptService::printsSales() {
    return receipts::shouldAutoPrint(m_till.settings().printerName());
}

QString ReceiptService::printWarning() {
    return receipts::requestedPrintWarning(m_till.settings().printerName());
}

QString ReceiptService::servicePhone() {
    return m_till.settings().servicePhone();
}

receipts::PrintResult ReceiptService::print(const QString& html) {
    return printHtmlReceipt(html, m_till.settings().printerName(), m_sink);
}

receipts::PrintResult ReceiptService::printSale(receipts::SaleReceipt receipt) {
    receipt.servicePhone = servicePhone();
    const receipts::PrintResult result = print(receipts::saleReceiptHtml(receipt));
    if (result.accepted()) {
        m_till.gateway().post(nullptr, requests::doPrint(m_till.session().token(), receipt.orderNo));
    }
    return result;
}

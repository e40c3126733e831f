#include "core/receiptservice.h"

#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

bool ReceiptService::printsSales() {
    return receipts::shouldAutoPrint(m_settings.printerName());
}

QString ReceiptService::printWarning() {
    return receipts::requestedPrintWarning(m_settings.printerName());
}

QString ReceiptService::servicePhone() {
    return m_settings.servicePhone();
}

receipts::PrintResult ReceiptService::print(const QString& html) {
    return printHtmlReceipt(html, m_settings.printerName(), m_sink);
}

receipts::PrintResult ReceiptService::printSale(receipts::SaleReceipt receipt) {
    receipt.servicePhone = servicePhone();
    const receipts::PrintResult result = print(receipts::saleReceiptHtml(receipt));
    if (result.accepted()) {
        m_gateway.post(nullptr, requests::doPrint(m_session.token(), receipt.orderNo));
    }
    return result;
}

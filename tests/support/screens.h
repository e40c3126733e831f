#pragma once

// Helpers for the tests of the sale screens and of anything that prints. Header-only: a test that includes it
// already links the collect and receipt libraries, and the others need not.

#include "collect/formtradeinfo.h"
#include "receipts/printhtmlreceipt.h"
#include "testsupport.h"

#include <QStringList>

namespace testsupport {

// The result windows on screen (a sale completed), and closing them.
inline QList<FormTradeInfo*> resultWindows() {
    return visibleTopLevels<FormTradeInfo>();
}
inline void closeResultWindows() {
    closeTopLevels<FormTradeInfo>();
}

// Takes what would have gone to the printer while it lives.
struct ReceiptCatcher {
    QStringList html;
    ReceiptCatcher() {
        receipts::setReceiptSinkForTests([this](const QString& h) { html.append(h); });
    }
    ~ReceiptCatcher() { receipts::setReceiptSinkForTests({}); }
    ReceiptCatcher(const ReceiptCatcher&) = delete;
    ReceiptCatcher& operator=(const ReceiptCatcher&) = delete;
};

}  // namespace testsupport

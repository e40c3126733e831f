#pragma once

#include "receipts/printhtmlreceipt.h"

#include <QString>
#include <functional>

class QWidget;

namespace printretry {

// Prints with `print` (one copy on the configured printer). While the print system does not take it, a box over
// `parent` tells the cashier why and offers to print it again (重新打印) or to leave it (取消). The last result comes
// back: accepted only when a job was taken.
receipts::PrintResult printOfferingRetry(QWidget* parent, const std::function<receipts::PrintResult()>& print);

// The box that offers it, once: true when the cashier chose to print again.
bool askToPrintAgain(QWidget* parent, const receipts::PrintResult& failed);

}  // namespace printretry

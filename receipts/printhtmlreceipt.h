#pragma once

#include <QSizeF>
#include <QString>
#include <functional>

class QPrinter;

// Every paper receipt goes through here: one copy of an HTML text on the printer named in "data.ini", no dialog.
void printHtmlReceipt(const QString& html);

namespace receipts {

// Receipts printed after a charge: skipped silently when no printer is chosen ("不打印小票" or never set).
bool shouldAutoPrint(const QString& printerName);

// Receipts the cashier asks for: the warning to show instead of printing, or an empty text when printing may go on.
QString requestedPrintWarning(const QString& printerName);

// The printer's paper in device pixels, the page size the receipt document is laid out on.
QSizeF paperSizeInDevicePixels(QPrinter& printer);

// Tests and benchmarks take the finished HTML instead of a printer; an empty function restores real printing.
using ReceiptSink = std::function<void(const QString& html)>;
void setReceiptSinkForTests(ReceiptSink sink);

}  // namespace receipts

#pragma once

#include <QSizeF>
#include <QString>
#include <functional>

class QPrinter;

namespace receipts {

// Where a receipt goes instead of a printer (tests and benchmarks take the finished HTML): it counts as accepted.
using ReceiptSink = std::function<void(const QString& html)>;

// What became of a receipt sent to the printer. Only an accepted job counts as printed (and may be reported to the
// gateway); otherwise the cashier is told why and may print it again.
struct PrintResult {
    enum Status {
        Accepted,          // the print system took the job
        PrinterMissing,    // no printer of that name (or no default printer when none is named)
        NoPrinters,        // the system lists no printer at all: the print service is not running, or none is set up
        PrinterStopped,    // the printer exists but is stopped (paused, in error): its jobs would wait unseen
        PrinterRejecting,  // the queue exists but is set to refuse new jobs: a job would be dropped unseen
        NotAccepted,       // the job was handed over but the print system reported it failed
    };
    Status status = Accepted;
    QString printerName;
    bool accepted() const { return status == Accepted; }
};

// Before a job goes out: whether the printer was found and, if so, whether it is stopped (an error state) and whether
// its queue takes jobs, and whether the system lists any printer at all.
PrintResult::Status statusBeforePrinting(bool printerFound, bool printerInError, bool acceptingJobs, bool anyPrinter);
// The cashier's words for a receipt that did not print, with the reason; empty for an accepted one.
QString printFailureText(const PrintResult& result);

}  // namespace receipts

// Every paper receipt goes through here: one copy of an HTML text on the printer named `printerName` (data.ini's
// choice; empty: the system's default), no dialog. Nothing is sent to a printer that is missing, stopped or refusing
// jobs: a missing name would otherwise go to the default printer, and a refused job would count as printed.
// With a `sink` the receipt goes there instead.
receipts::PrintResult printHtmlReceipt(const QString& html, const QString& printerName,
                                       const receipts::ReceiptSink& sink = {});

namespace receipts {

// Receipts printed after a charge: skipped silently when no printer is chosen ("不打印小票" or never set).
bool shouldAutoPrint(const QString& printerName);

// Receipts the cashier asks for: the warning to show instead of printing, or an empty text when printing may go on.
QString requestedPrintWarning(const QString& printerName);

// Loads the system's print support now rather than when the first receipt is printed. Under Wine a first print made
// after the serial lines and the gateway's connections were up never returned from looking up its printer, leaving the
// paid sale's result unshown; loaded at start it prints at once. Main calls it once, before any window.
void loadPrintSupport();

// The printer's paper in device pixels, the page size the receipt document is laid out on.
QSizeF paperSizeInDevicePixels(QPrinter& printer);

}  // namespace receipts

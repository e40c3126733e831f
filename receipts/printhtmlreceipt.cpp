#include "receipts/printhtmlreceipt.h"

#include "app/dataconfig.h"
#include "app/logcategories.h"
#include "platform/platform.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

namespace receipts {

bool shouldAutoPrint(const QString& printerName) {
    return !printerName.isEmpty() && printerName != QString::fromUtf8(DataConfig::kNoPrinter);
}

QString requestedPrintWarning(const QString& printerName) {
    if (printerName == QString::fromUtf8(DataConfig::kNoPrinter)) {
        return QStringLiteral("当前没有设置可用打印机,如需打印请先设置打印机");
    }
    return QString();
}

PrintResult::Status statusBeforePrinting(bool printerFound, bool printerInError, bool acceptingJobs, bool anyPrinter) {
    if (!printerFound) {
        return anyPrinter ? PrintResult::PrinterMissing : PrintResult::NoPrinters;
    }
    if (printerInError) {
        return PrintResult::PrinterStopped;
    }
    return acceptingJobs ? PrintResult::Accepted : PrintResult::PrinterRejecting;
}

QString printFailureText(const PrintResult& result) {
    switch (result.status) {
        case PrintResult::Accepted:
            return QString();
        case PrintResult::PrinterMissing:
            if (result.printerName.isEmpty()) {
                return QStringLiteral("小票未打印：\n本机没有可用的打印机，请先设置打印机。");
            }
            return QStringLiteral("小票未打印：\n找不到打印机“%1”，请在设置中重新选择打印机。").arg(result.printerName);
        case PrintResult::NoPrinters:
            return QStringLiteral("小票未打印：\n找不到任何打印机，打印服务可能没有运行，请检查后重新打印。");
        case PrintResult::PrinterStopped:
            return QStringLiteral("小票未打印：\n打印机“%1”已停止，请检查打印机后重新打印。").arg(result.printerName);
        case PrintResult::PrinterRejecting:
            return QStringLiteral("小票未打印：\n打印机“%1”已设为拒绝打印任务，请在打印服务中恢复接受任务后重新打印。")
                .arg(result.printerName);
        case PrintResult::NotAccepted:
            return QStringLiteral("小票未打印：\n打印机“%1”没有接受打印任务，请检查打印机后重新打印。")
                .arg(result.printerName);
    }
    return QString();
}

void loadPrintSupport() {
    // The cheapest question that needs the print support: the system's default printer.
    qCInfo(lcPrint).noquote() << "default printer:" << QPrinterInfo::defaultPrinterName();
}

QSizeF paperSizeInDevicePixels(QPrinter& printer) {
    const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    return QSizeF(mm.width() / 25.4 * printer.logicalDpiX(), mm.height() / 25.4 * printer.logicalDpiY());
}

}  // namespace receipts

receipts::PrintResult printHtmlReceipt(const QString& html, const QString& printerName,
                                       const receipts::ReceiptSink& sink) {
    using receipts::PrintResult;
    const QString& name = printerName;
    // The queue as it is called, "" being the system's default one.
    const QString queue = name.isEmpty() ? QStringLiteral("(default)") : name;
    qCInfo(lcPrint).noquote()
        << QStringLiteral("print job submitted: queue %1 (%2 characters)").arg(queue).arg(html.size());
    if (sink) {
        sink(html);
        qCInfo(lcPrint).noquote() << "print job accepted: queue" << queue;
        return {PrintResult::Accepted, name};
    }
    // An unnamed printer is the system's default one, as Qt takes it.
    const QPrinterInfo info = name.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(name);
    const PrintResult::Status before =
        receipts::statusBeforePrinting(!info.isNull(), !info.isNull() && info.state() == QPrinter::Error,
                                       info.isNull() || platform::printQueueAcceptsJobs(info.printerName()),
                                       info.isNull() ? !QPrinterInfo::availablePrinterNames().isEmpty() : true);
    if (before != PrintResult::Accepted) {
        qCWarning(lcPrint).noquote() << "print job failed: queue" << queue << "-"
                                     << (before == PrintResult::PrinterMissing ? "no such printer"
                                         : before == PrintResult::NoPrinters   ? "no printers at all"
                                                                               : "printer stopped");
        return {before, name};
    }
    QPrinter printer(info, QPrinter::HighResolution);
    QTextDocument document;
    document.setPageSize(receipts::paperSizeInDevicePixels(printer));
    printer.setOutputFormat(QPrinter::NativeFormat);
    document.setHtml(html);
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        qCWarning(lcPrint).noquote() << "print job failed: queue" << queue << "- the printer did not take the job";
        return {PrintResult::NotAccepted, name};
    }
    qCInfo(lcPrint).noquote() << "print job accepted: queue" << queue;
    return {PrintResult::Accepted, name};
}

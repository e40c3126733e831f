#include "receipts/printhtmlreceipt.h"

#include "app/dataconfig.h"

#include <QPrinter>
#include <QTextDocument>

namespace receipts {

namespace {
ReceiptSink& sink() {
    static ReceiptSink s;
    return s;
}
}  // namespace

bool shouldAutoPrint(const QString& printerName) {
    return !printerName.isEmpty() && printerName != QString::fromUtf8(DataConfig::kNoPrinter);
}

QString requestedPrintWarning(const QString& printerName) {
    if (printerName == QString::fromUtf8(DataConfig::kNoPrinter)) {
        return QStringLiteral("当前没有设置可用打印机,如需打印请先设置打印机");
    }
    return QString();
}

QSizeF paperSizeInDevicePixels(QPrinter& printer) {
    const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    return QSizeF(mm.width() / 25.4 * printer.logicalDpiX(), mm.height() / 25.4 * printer.logicalDpiY());
}

void setReceiptSinkForTests(ReceiptSink s) {
    sink() = std::move(s);
}

}  // namespace receipts

void printHtmlReceipt(const QString& html) {
    if (receipts::sink()) {
        receipts::sink()(html);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(dataConfig().printerName());
    QTextDocument document;
    document.setPageSize(receipts::paperSizeInDevicePixels(printer));
    printer.setOutputFormat(QPrinter::NativeFormat);
    document.setHtml(html);
    document.print(&printer);
}

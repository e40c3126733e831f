// Time to build the sale receipt and submit it as a print job on a real queue.
//   bench_receipt [--printer NAME] [--jobs N]
// The default printer is the capture queue of tests/e2e/cups/setup-capture-queue.sh.
#include "core/till.h"
#include "benchutil.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/receipthtml.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addOption({"printer", "print queue", "name", "CashierCapture"});
    args.addOption({"jobs", "number of jobs", "n", "20"});
    args.process(app);
    const int jobs = std::max(1, args.value("jobs").toInt());

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    // The till of a client started in that folder.
    Till till(QDir::currentPath());
    till.settings().setPrinterName(args.value("printer"));

    QList<double> buildMs, submitMs;
    for (int i = 0; i < jobs; ++i) {
        QElapsedTimer t;
        t.start();
        receipts::SaleReceipt r;
        r.shopName = QStringLiteral("岚舟演示商户  西湖店");
        r.operatorName = QStringLiteral("张三");
        r.payDate = QStringLiteral("2026-12-07 08:00:00");
        r.orderNo = QStringLiteral("BENCH%1").arg(i, 6, 10, QLatin1Char('0'));
        r.outTradeNo = r.orderNo;
        r.payWay = QStringLiteral("支付宝");
        r.moneyText = QStringLiteral("12.50");
        r.ticketsHtml = receipts::saleTicketsHtml({{QStringLiteral("成人票"), QStringLiteral("20.00")}});
        r.servicePhone = till.settings().servicePhone();
        const QString html = receipts::saleReceiptHtml(r);
        buildMs.append(t.nsecsElapsed() / 1e6);
        t.restart();
        printHtmlReceipt(html, till.settings().printerName());
        submitMs.append(t.nsecsElapsed() / 1e6);
    }
    const bench::Summary b = bench::summarize(buildMs);
    const bench::Summary s = bench::summarize(submitMs);
    std::printf("receipt jobs: %d on %s\n", jobs, qPrintable(args.value("printer")));
    std::printf("build HTML      ms: median %.3f  p90 %.3f  min %.3f  max %.3f\n", b.median, b.p90, b.min, b.max);
    std::printf("render + submit ms: median %.1f  p90 %.1f  min %.1f  max %.1f\n", s.median, s.p90, s.min, s.max);
    return 0;
}

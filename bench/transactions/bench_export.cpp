// 导出 against the sandbox gateway on loopback: every page of a day's list written to a CSV file, as the query page
// does it (widget-free: the same ListExport, without the progress dialog).
//   bench_export [--rows N] [--sandbox PATH]
// Reports the time and the peak memory (VmHWM) for a fifth of the rows and for all of them, so that growth with the
// row count shows.
#include "benchgateway.h"
#include "gateway/httpfun.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "transactions/exportlogic.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {

long statusKiB(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

void sell(Till& till, int from, int to) {
    for (int i = from; i <= to; ++i) {
        const QString code = QStringLiteral("%1%2").arg(i % 3 ? "28" : "13").arg(i, 16, 10, QLatin1Char('0'));
        bench::postAndWait(till, requests::scanPay(code, 100 + i, till.session().uid(), QStringLiteral("1")));
    }
}

struct Run {
    bool ok = false;
    int rows = 0;
    qint64 fen = 0;
    double ms = 0;
    long hwmKiB = 0;
    qint64 bytes = 0;
};

Run exportAll(Till& till, const QString& path) {
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-M-d"));
    ListingService::Filter q;
    q.startDate = today + QStringLiteral(" 00:00:00");
    q.endDate = today + QStringLiteral(" 23:59:59");
    transactions::ListExport exporter(till.listing());
    QEventLoop loop;
    Run r;
    QObject::connect(&exporter, &transactions::ListExport::done, &loop, [&] {
        r.ok = true;
        loop.quit();
    });
    QObject::connect(&exporter, &transactions::ListExport::failed, &loop, [&](const QString& why) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(why));
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    QString why;
    if (!exporter.start(q, path, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return r;
    }
    loop.exec();
    r.ms = t.nsecsElapsed() / 1e6;
    r.rows = exporter.rows();
    r.fen = exporter.moneyFen();
    r.hwmKiB = statusKiB("VmHWM:");
    r.bytes = QFileInfo(path).size();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.addOption({"rows", "rows to export", "n", "5000"});
#ifdef SANDBOX_BIN
    args.addOption({"sandbox", "gateway-sandbox binary", "path", SANDBOX_BIN});
#else
    args.addOption({"sandbox", "gateway-sandbox binary", "path"});
#endif
    args.process(app);
    const int rows = std::max(100, args.value("rows").toInt());

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    // The till of a client started in that folder.
    Till till(QDir::currentPath());
    QProcess sandbox;
    if (!bench::startSandbox(till, sandbox, args.value("sandbox"), dir.filePath("sandbox.db")) ||
        !bench::signInDemo(till)) {
        return 1;
    }

    const int fifth = rows / 5;
    QElapsedTimer seeding;
    seeding.start();
    sell(till, 1, fifth);
    const long baseHwm = statusKiB("VmHWM:");
    const Run small = exportAll(till, dir.filePath("small.csv"));
    sell(till, fifth + 1, rows);
    const double seedSecs = seeding.nsecsElapsed() / 1e9 - small.ms / 1000;
    const Run all = exportAll(till, dir.filePath("all.csv"));

    qint64 expectFen = 0;
    for (int i = 1; i <= rows; ++i) {
        expectFen += 100 + i;
    }
    std::printf("sandbox seeded with %d sales in %.1f s; VmHWM before exporting: %ld KiB\n", rows, seedSecs, baseHwm);
    for (const Run* r : {&small, &all}) {
        std::printf("export %5d rows (%3d pages): %8.1f ms, %7.1f rows/s, file %lld bytes, VmHWM %ld KiB (+%ld)\n",
                    r->rows, (r->rows + 19) / 20, r->ms, r->rows / (r->ms / 1000), static_cast<long long>(r->bytes),
                    r->hwmKiB, r->hwmKiB - baseHwm);
    }
    const bool sums = all.fen == expectFen;
    std::printf("rows %s, money %s (%lld fen)\n", all.rows == rows ? "complete" : "MISSING",
                sums ? "adds up" : "DOES NOT ADD UP", static_cast<long long>(all.fen));
    sandbox.terminate();
    if (!sandbox.waitForFinished(5000)) {
        sandbox.kill();
        sandbox.waitForFinished(3000);
    }
    return small.ok && all.ok && all.rows == rows && sums ? 0 : 1;
}

// A sale after another against the sandbox gateway on loopback: the time from the Return that ends the scan to the
// result window shown, against the floor of the same run (the charge's request alone, posted the way a charge posts
// it, to the same sandbox, just before each sale); the client's resident memory as the sales add up; and the payment
// journal's two writes of each sale (the attempt before the charge leaves, its outcome after), each waiting for the
// disk (synchronous=FULL). It says how busy the machine was meanwhile: the figures of a shared machine move with it.
//   bench_sale [--sales N] [--printer NAME] [--sandbox PATH] [--journal DIR] [--log on|off]
// Runs the real amount page, payment-code window and result window (offscreen unless a display is chosen).
#include "app/dataconfig.h"
#include "app/oplog.h"
#include "benchgateway.h"
#include "benchutil.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayurl.h"
#include "gateway/httpfun.h"
#include "gateway/replies.h"
#include "gateway/reply.h"
#include "gateway/requests.h"
#include "app/usersession.h"
#include "payments/journal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

namespace {

// Notes the moment a result window is shown, and the moment before it when the payment-code window was put away
// (the charge's answer is in, the result window is built next): the result window's share of the sale.
class ShowWatcher : public QObject {
public:
    qint64 shownAtNs = -1;
    qint64 paymentHiddenAtNs = -1;
    QElapsedTimer* clock = nullptr;
    FormTradeInfo* window = nullptr;
    QEventLoop* loop = nullptr;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Hide && shownAtNs < 0 && qobject_cast<FormCS*>(o)) {
            paymentHiddenAtNs = clock->nsecsElapsed();
        }
        if (e->type() == QEvent::Show && shownAtNs < 0) {
            if (auto* info = qobject_cast<FormTradeInfo*>(o)) {
                shownAtNs = clock->nsecsElapsed();
                window = info;
                if (loop) {
                    loop->quit();
                }
            }
        }
        return false;
    }
};

// The payment code of sale `i`: a paid 支付宝 code of its own that never ends in one of the sandbox's scripted endings
// (8888 waits past the time-out, 9999 is refused, 770n hands out tags), however many sales run: the sale number sits
// before a fixed 0001.
QString paymentCode(int i) {
    return QStringLiteral("28%1").arg(i, 12, 10, QLatin1Char('0')) + QStringLiteral("0001");
}

// The floor's code for sale `i`: paid, and never one of the sales' own.
QString floorCode(int i) {
    return QStringLiteral("28%1").arg(i, 12, 10, QLatin1Char('0')) + QStringLiteral("0002");
}

// Where the memory is read: the first sales, then each step of the long run the slope is given between.
bool rssCheckpoint(int i, int sales) {
    return i == 1 || i == 10 || i == 100 || i == 500 || i == 1000 || i == 2000 || i == 5000 || i == 10000 || i == sales;
}

// The floor: the charge's request alone, as the charge sends it (a request of its own, a connection of its own, the
// reply read), from the post to its answer. Milliseconds; negative when no answer came.
double roundTripMs(Till& till, int i) {
    QElapsedTimer t;
    QEventLoop loop;
    bool answered = false;
    t.start();
    till.gateway().post(
        &loop, requests::scanPay(floorCode(i), 1250, till.session().uid(), till.session().shopId()),
        [&](const gateway::Reply& r) {
            answered = r.ok();
            loop.quit();
        },
        10000);
    loop.exec();
    return answered ? t.nsecsElapsed() / 1e6 : -1;
}

// The median of sales [from, to) (1-based counts), or 0 when the run is shorter.
double medianOf(const QList<double>& ms, int from, int to) {
    if (ms.size() < to - 1 || from >= to) {
        return 0;
    }
    return bench::summarize(ms.mid(from - 1, to - from)).median;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addOption({"sales", "number of sales", "n", "100"});
    args.addOption({"printer", "receipt printer (default: none)", "name", QString::fromUtf8(DataConfig::kNoPrinter)});
#ifdef SANDBOX_BIN
    args.addOption({"sandbox", "gateway-sandbox binary", "path", SANDBOX_BIN});
#else
    args.addOption({"sandbox", "gateway-sandbox binary", "path"});
#endif
    args.addOption({"journal",
                    "folder for the payment journal (default: the temporary folder; it should be on the "
                    "disk the client's data folder is on)",
                    "dir"});
    args.addOption({"log", "the operations log on (as in the client) or off", "on|off", "on"});
    args.process(app);
    const int sales = std::max(1, args.value("sales").toInt());

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    // The till of a client started in that folder.
    Till till(QDir::currentPath());
    // Off: the messages go nowhere, so the difference is the log's whole cost (nothing is echoed either way).
    const bool logOn = args.value("log") != QLatin1String("off");
    if (!logOn) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    } else if (!oplog::start(till.settings().logFolder(), oplog::Level::Info, {}, false)) {
        return 1;
    }
    QProcess sandbox;
    if (!bench::startSandbox(till, sandbox, args.value("sandbox"), dir.filePath("sandbox.db"))) {
        return 1;
    }
    till.settings().setPrinterName(args.value("printer"));

    if (!bench::signInDemo(till)) {
        return 1;
    }

    QTemporaryDir journalDir(QDir(args.isSet("journal") ? args.value("journal") : dir.path())
                                 .filePath(QStringLiteral("bench-journal-XXXXXX")));
    journal::Journal::Opened opened = journal::Journal::openFile(journalDir.filePath(QStringLiteral("payments.db")));
    if (!opened.journal) {
        std::fprintf(stderr, "no payment journal in %s: %s\n", qPrintable(journalDir.path()), qPrintable(opened.error));
        return 1;
    }
    // The sale writes its attempt before the charge leaves and its outcome before the result window: both writes
    // are inside the scan-to-result figure.
    till.setJournal(std::move(opened.journal));

    QWidget host;
    FormSaoMaShouKuan page(till, &host);
    QElapsedTimer clock;
    clock.start();
    ShowWatcher watcher;
    watcher.clock = &clock;
    app.installEventFilter(&watcher);

    // Reserved ahead, so the figures themselves do not grow the memory being measured.
    QList<double> scanToResultMs;
    QList<double> floorMs;
    QList<double> windowMs;
    scanToResultMs.reserve(sales);
    floorMs.reserve(sales);
    windowMs.reserve(sales);
    QList<QPair<int, long>> rss;
    const bench::CpuUse cpuStart = bench::cpuUse(sandbox.processId());
    const long rssStart = bench::rssKiB();
    for (int i = 1; i <= sales; ++i) {
        const double floor = roundTripMs(till, i);
        if (floor < 0) {
            std::fprintf(stderr, "sale %d: the bare request got no answer\n", i);
            return 1;
        }
        floorMs.append(floor);
        page.setAmountText(QStringLiteral("12.50"));
        page.startCollect();
        FormCS* cs = page.paymentWindow();
        if (!cs) {
            std::fprintf(stderr, "sale %d: the payment-code window did not open\n", i);
            return 1;
        }
        QTest::keyClicks(cs, paymentCode(i));

        watcher.shownAtNs = -1;
        watcher.paymentHiddenAtNs = -1;
        watcher.window = nullptr;
        const qint64 returnAt = clock.nsecsElapsed();
        QTest::keyClick(cs, Qt::Key_Return);
        // A plain event loop: QTest's waits sleep between rounds and would add their naps to the figure.
        QEventLoop loop;
        watcher.loop = &loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (watcher.shownAtNs < 0) {
            loop.exec();
        }
        watcher.loop = nullptr;
        if (watcher.shownAtNs < 0) {
            std::fprintf(stderr, "sale %d: no result window\n", i);
            return 1;
        }
        scanToResultMs.append((watcher.shownAtNs - returnAt) / 1e6);
        if (watcher.paymentHiddenAtNs >= 0) {
            windowMs.append((watcher.shownAtNs - watcher.paymentHiddenAtNs) / 1e6);
        }
        watcher.window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        if (rssCheckpoint(i, sales)) {
            rss.append({i, bench::rssKiB()});
        }
    }
    const bench::CpuUse cpuEnd = bench::cpuUse(sandbox.processId());
    // Let the last fire-and-forget requests finish before the final reading.
    QTest::qWait(200);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The journal's own share, on a file of its own in the same folder: the open-charge look-up, the attempt written
    // before a charge leaves and its outcome, as each sale above did them.
    QList<double> checkMs, beginMs, settleMs;
    journal::Journal::Opened side = journal::Journal::openFile(journalDir.filePath(QStringLiteral("writes.db")));
    if (!side.journal) {
        std::fprintf(stderr, "no second journal: %s\n", qPrintable(side.error));
        return 1;
    }
    for (int i = 1; i <= sales; ++i) {
        journal::Attempt attempt;
        attempt.saleId = QStringLiteral("bench-%1").arg(i);
        attempt.fen = 1250;
        attempt.shopId = QStringLiteral("1");
        attempt.cashierId = till.session().uid();
        attempt.maskedCode = journal::maskCode(paymentCode(i));
        QString error;
        QElapsedTimer step;
        step.start();
        const bool allowed = !side.journal->blockerFor(journal::Kind::Charge, QString(), &error) && error.isEmpty();
        checkMs.append(step.nsecsElapsed() / 1e6);
        step.restart();
        const std::optional<qint64> id = allowed ? side.journal->begin(attempt, &error) : std::nullopt;
        beginMs.append(step.nsecsElapsed() / 1e6);
        step.restart();
        if (!id || !side.journal->settle(*id, journal::State::Paid, QString(), QString(), &error)) {
            std::fprintf(stderr, "journal write %d failed: %s\n", i, qPrintable(error));
            return 1;
        }
        settleMs.append(step.nsecsElapsed() / 1e6);
    }

    const bench::Summary s = bench::summarize(scanToResultMs);
    const bench::Summary f = bench::summarize(floorMs);
    const bench::Summary w = bench::summarize(windowMs);
    std::printf("sales: %d, printer: %s, operations log: %s\n", sales, qPrintable(args.value("printer")),
                logOn ? "on" : "off");
    std::printf(
        "machine: %d processors, load average %s at the start, %s at the end; while the sales ran, other "
        "processes kept %.0f%% of the processors busy (this bench %.0f%%, the sandbox %.0f%%)\n",
        cpuEnd.processors, qPrintable(cpuStart.loadAverage), qPrintable(cpuEnd.loadAverage),
        bench::othersBusyPercent(cpuStart, cpuEnd), bench::ownBusyPercent(cpuStart, cpuEnd, false),
        bench::ownBusyPercent(cpuStart, cpuEnd, true));
    std::printf(
        "Return -> result window shown (both journal writes included), ms: median %.1f  p90 %.1f  p99 %.1f"
        "  min %.1f  max %.1f\n",
        s.median, s.p90, s.p99, s.min, s.max);
    std::printf(
        "round trip (the charge's request alone, same sandbox, a connection of its own), ms: median %.1f"
        "  p90 %.1f  p99 %.1f\n",
        f.median, f.p90, f.p99);
    std::printf(
        "Return -> result against the round trip: %.2f times at the median, %+.1f ms over it (goal: within "
        "16 ms)\n",
        f.median > 0 ? s.median / f.median : 0, s.median - f.median);
    std::printf(
        "of which the result window (payment-code window put away -> result window shown), ms: median %.1f"
        "  p90 %.1f  p99 %.1f (%.0f%% of the median)\n",
        w.median, w.p90, w.p99, s.median > 0 ? 100 * w.median / s.median : 0);
    // The same figure as the run goes on: a sale that pays for the ones before it shows as a median that climbs.
    std::printf("Return -> result median by stretch of the run, ms:");
    for (const auto& [from, to] : {std::pair{1, 501}, {501, 1001}, {1001, 2001}, {2001, 5001}, {5001, 10001}}) {
        if (sales >= to - 1) {
            std::printf("  sales %d-%d: %.1f", from, to - 1, medianOf(scanToResultMs, from, to));
        }
    }
    if (sales >= 1000) {
        std::printf("  (last 500: %.1f; whole run %.1f, %+.0f%% against the first 500)",
                    medianOf(scanToResultMs, sales - 499, sales + 1), s.median,
                    100 * (s.median / medianOf(scanToResultMs, 1, 501) - 1));
    }
    std::printf("\n");
    const bench::Summary check = bench::summarize(checkMs);
    const bench::Summary begin = bench::summarize(beginMs);
    const bench::Summary settle = bench::summarize(settleMs);
    std::printf("payment journal (synchronous=FULL, %s), ms:\n", qPrintable(journalDir.path()));
    std::printf("  attempt written before the charge leaves: median %.2f  p99 %.2f  max %.2f\n", begin.median,
                begin.p99, begin.max);
    std::printf("  outcome written after the reply:          median %.2f  p99 %.2f  max %.2f\n", settle.median,
                settle.p99, settle.max);
    std::printf("  open-charge look-up before the attempt:   median %.2f  p99 %.2f  max %.2f\n", check.median,
                check.p99, check.max);
    std::printf("RSS KiB: before the first sale %ld", rssStart);
    for (const auto& r : rss) {
        std::printf(", after %d: %ld", r.first, r.second);
    }
    std::printf(", at the end: %ld\n", bench::rssKiB());
    // Growth per sale between readings: what each sale keeps shows as a slope that stays up as the run goes on.
    for (int k = 1; k < rss.size(); ++k) {
        if (rss[k - 1].first >= 100) {
            std::printf("RSS slope %d -> %d sales: %+.3f KiB per sale\n", rss[k - 1].first, rss[k].first,
                        double(rss[k].second - rss[k - 1].second) / (rss[k].first - rss[k - 1].first));
        }
    }
    sandbox.terminate();
    sandbox.waitForFinished(3000);
    oplog::stop();
    return 0;
}

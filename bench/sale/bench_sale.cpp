// A sale after another against the sandbox gateway on loopback: the time from the Return that ends the scan to the
// result window shown, the client's resident memory as the sales add up, and the payment journal's two writes of
// each sale (the attempt before the charge leaves, its outcome after), each waiting for the disk (synchronous=FULL).
//   bench_sale [--sales N] [--printer NAME] [--sandbox PATH] [--journal DIR] [--log on|off]
// Runs the real amount page, payment-code window and result window (offscreen unless a display is chosen).
#include "app/dataconfig.h"
#include "app/oplog.h"
#include "benchgateway.h"
#include "benchutil.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "core/chargeservice.h"
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
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

namespace {

// Notes the moment a result window is shown.
class ShowWatcher : public QObject {
public:
    qint64 shownAtNs = -1;
    QElapsedTimer* clock = nullptr;
    FormTradeInfo* window = nullptr;
    QEventLoop* loop = nullptr;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
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

// Where the memory is read: the first sales, then each step of the long run the slope is given between.
bool rssCheckpoint(int i, int sales) {
    return i == 1 || i == 10 || i == 100 || i == 500 || i == 1000 || i == 5000 || i == 10000 || i == sales;
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
    Till till;
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

    QList<double> scanToResultMs;
    QList<QPair<int, long>> rss;
    const long rssStart = bench::rssKiB();
    for (int i = 1; i <= sales; ++i) {
        page.setAmountText(QStringLiteral("12.50"));
        page.startCollect();
        FormCS* cs = page.paymentWindow();
        if (!cs) {
            std::fprintf(stderr, "sale %d: the payment-code window did not open\n", i);
            return 1;
        }
        QTest::keyClicks(cs, paymentCode(i));

        watcher.shownAtNs = -1;
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
        watcher.window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        if (rssCheckpoint(i, sales)) {
            rss.append({i, bench::rssKiB()});
        }
    }
    // Let the last fire-and-forget requests finish before the final reading.
    QTest::qWait(200);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The window's own share: building and showing a result window from a reply already at hand.
    QList<double> windowMs;
    const QJsonObject sample{
        {"msg", "成功"}, {"operator", "张三"},   {"out_trade_no", "BENCH"},          {"pay_channel", "ALIPAY"},
        {"money", 1250}, {"shopname", "西湖店"}, {"pay_date", "2026-12-07 08:00:00"}};
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        const Order sale = replies::saleOf(sample);
        auto* info = new FormTradeInfo(till.receipts(), sale, till.charges().printPaid(sale));
        info->show();
        QCoreApplication::processEvents();
        windowMs.append(t.nsecsElapsed() / 1e6);
        info->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

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
    const bench::Summary w = bench::summarize(windowMs);
    std::printf("sales: %d, printer: %s, operations log: %s\n", sales, qPrintable(args.value("printer")),
                logOn ? "on" : "off");
    std::printf(
        "Return -> result window shown (both journal writes included), ms: median %.1f  p90 %.1f  p99 %.1f"
        "  min %.1f  max %.1f\n",
        s.median, s.p90, s.p99, s.min, s.max);
    std::printf("of which building + showing the result window, ms: median %.1f  p90 %.1f\n", w.median, w.p90);
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
    // Growth per 1,000 sales between readings: a leak of each sale shows as a slope that stays up as the run goes on.
    for (int k = 1; k < rss.size(); ++k) {
        if (rss[k - 1].first >= 100) {
            std::printf("RSS slope %d -> %d sales: %+.1f KiB per 1,000 sales\n", rss[k - 1].first, rss[k].first,
                        (rss[k].second - rss[k - 1].second) * 1000.0 / (rss[k].first - rss[k - 1].first));
        }
    }
    sandbox.terminate();
    sandbox.waitForFinished(3000);
    oplog::stop();
    return 0;
}

// The transaction page against the sandbox gateway on loopback:
//   - from a listPay reply's arrival to the page of 20 rows painted (parse, labels, cells, row buttons, paint);
//   - the query round trip: from 查询 to the new page painted, busy dialog included.
//   bench_query [--runs N] [--sandbox PATH]
// Offscreen unless a display is chosen (DISPLAY or QT_QPA_PLATFORM).
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "benchgateway.h"
#include "benchutil.h"
#include "gateway/gatewaycall.h"
#include "gateway/gatewayurl.h"
#include "gateway/httpfun.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "transactions/formjiaoyicx.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Notes that the table was painted with new rows (the first row's reprint button is another one than before);
// paints of the old rows (while the busy dialog opens, for instance) do not count.
class PaintWatcher : public QObject {
public:
    QTableView* table = nullptr;
    int column = 0;
    QPointer<QWidget> oldButton;
    bool painted = false;

    void arm() {
        oldButton = table->indexWidget(table->model()->index(0, column));
        painted = false;
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && table->indexWidget(table->model()->index(0, column)) &&
            table->indexWidget(table->model()->index(0, column)) != oldButton.data()) {
            painted = true;
        }
        return false;
    }
};

void waitForPaint(PaintWatcher& watcher) {
    while (!watcher.painted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addOption({"runs", "measurements of each kind", "n", "50"});
#ifdef SANDBOX_BIN
    args.addOption({"sandbox", "gateway-sandbox binary", "path", SANDBOX_BIN});
#else
    args.addOption({"sandbox", "gateway-sandbox binary", "path"});
#endif
    args.process(app);
    const int runs = std::max(1, args.value("runs").toInt());

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    // The till of a client started in that folder.
    Till till(QDir::currentPath());
    QProcess sandbox;
    if (!bench::startSandbox(till, sandbox, args.value("sandbox"), dir.filePath("sandbox.db")) ||
        !bench::signInDemo(till)) {
        return 1;
    }
    // 45 sales: three pages of the default query.
    for (int i = 1; i <= 45; ++i) {
        const QString code = QStringLiteral("%1%2").arg(i % 3 ? "28" : "13").arg(i, 16, 10, QLatin1Char('0'));
        bench::postAndWait(till, requests::scanPay(code, 1000 + i, till.session().uid(), QStringLiteral("1")));
    }

    QWidget host;
    host.resize(800, 600);
    auto* page = new FormJiaoYiCX(till, &host);
    page->setGeometry(10, 135, 780, 455);
    host.show();
    QTableView* table = page->findChild<QTableView*>(QStringLiteral("tableWidget"));
    PaintWatcher watcher;
    watcher.table = table;
    watcher.column = page->reprintColumn();
    table->viewport()->installEventFilter(&watcher);
    QCoreApplication::processEvents();

    // The query round trip, as the cashier presses 查询.
    QList<double> roundTripMs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        watcher.arm();
        t.start();
        page->on_query_btn_clicked();
        waitForPaint(watcher);
        roundTripMs.append(t.nsecsElapsed() / 1e6);
        // The replaced row buttons go, as they do between two queries of the running client.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A real reply of 20 rows, arriving again and again.
    const UserSession& s = till.session();
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-M-d"));
    const QByteArray bytes =
        bench::postAndWait(till, requests::listPay(s.token(), 1, QString(), today + QStringLiteral(" 00:00:00"),
                                                   today + QStringLiteral(" 23:59:59"), s.shopId(), QString()));
    QList<double> replyToPaintMs;
    QList<double> fillMs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        watcher.arm();
        t.start();
        page->slot_requestFinished(replies::listing(gateway::readReply(HttpFun::Ending::Answered, 200, true, bytes)));
        fillMs.append(t.nsecsElapsed() / 1e6);
        waitForPaint(watcher);
        replyToPaintMs.append(t.nsecsElapsed() / 1e6);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const int rows =
        replies::listing(gateway::readReply(HttpFun::Ending::Answered, 200, true, bytes)).value.rows.size();

    const bench::Summary r = bench::summarize(replyToPaintMs);
    const bench::Summary q = bench::summarize(roundTripMs);
    const bench::Summary f = bench::summarize(fillMs);
    std::printf("platform: %s, runs: %d, rows on the page: %d\n", qPrintable(QGuiApplication::platformName()), runs,
                rows);
    std::printf("reply arrival -> 20-row page painted, ms: median %.2f  p90 %.2f  min %.2f  max %.2f\n", r.median,
                r.p90, r.min, r.max);
    std::printf("  of which parsing the reply and filling labels, cells and buttons, ms: median %.2f  p90 %.2f\n",
                f.median, f.p90);
    std::printf(
        "query round trip (查询 -> page painted, sandbox on loopback), ms: median %.2f  p90 %.2f  min %.2f  "
        "max %.2f\n",
        q.median, q.p90, q.min, q.max);
    sandbox.terminate();
    sandbox.waitForFinished(3000);
    return rows == 20 ? 0 : 1;
}

// The end of a shift with real processes on the X display the test script provides: after a 12.50 sale the summary
// shows it under 支付宝金额, 打印 records the print at the sandbox gateway and the summary comes out of the CUPS
// capture queue, Yes starts a new copy of the client at its login window, and that copy's next summary starts at the
// moment the print was recorded.
#include "e2edriver.h"
#include "testsupport.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using namespace e2e;

namespace {

const QSize kMainSize(800, 600);
const QString kSummaryTitle = QStringLiteral("柚屿岚舟钱包");

// The copy a hand-over starts is not our child: it is ended here, by the id it logged, when the test is done.
struct NewCopy {
    qint64 pid = 0;
    ~NewCopy() {
        if (pid > 0) {
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            (void)QTest::qWaitFor([this] { return ::kill(static_cast<pid_t>(pid), 0) != 0; }, 5000);
            if (::kill(static_cast<pid_t>(pid), 0) == 0) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
        }
    }
};

QString field(const QJsonObject& request, const char* name) {
    return testsupport::formValue(request.value(QStringLiteral("body")).toString().toUtf8(), QString::fromLatin1(name));
}

qint64 loggedAt(const QJsonObject& request) {
    return QDateTime::fromString(request.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
        .toSecsSinceEpoch();
}

// The summary's totals were asked for.
bool waitForTotals(const Sandbox& sandbox, int queries) {
    return QTest::qWaitFor(
        [&] { return sandbox.loggedRequests(QStringLiteral("Account.Pay.listSumTicket")).size() >= queries; }, 10000);
}

}  // namespace

class TestShiftE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!haveDisplayAndTools({QStringLiteral("xdotool"), QStringLiteral("pdftotext"), QStringLiteral("lpstat")})) {
            return;
        }
        QVERIFY2(captureQueueReady(), qPrintable(QStringLiteral("print queue %1 is missing: run "
                                                                "tests/e2e/cups/setup-capture-queue.sh as root")
                                                     .arg(captureQueue())));
    }

    void handOver() {
        Sandbox sandbox;
        sandbox.start();
        if (QTest::currentTestFailed()) {
            return;
        }
        // The client's working directory is the new copy's too: it outlives both.
        Client client(sandbox.port(), {{QStringLiteral("printerName"), captureQueue()}});
        NewCopy next;
        {
            signInAndChooseStore(client);
            if (QTest::currentTestFailed()) {
                return;
            }
            keyAmountAndScan(client, QStringLiteral("12.50"), QStringLiteral("280000000000000301"));
            if (QTest::currentTestFailed()) {
                return;
            }
            const QString result = waitForVisible(QStringLiteral("收款成功"));
            QVERIFY2(!result.isEmpty(), qPrintable(client.output()));
            pointAt(result, 100, 100);
            key(QStringLiteral("Escape"));
            QVERIFY(waitForHidden(QStringLiteral("收款成功")));

            const QString main = waitForVisible(QStringLiteral("柚屿智付"), kMainSize);
            QVERIFY(!main.isEmpty());
            const QSet<QString> before = capturedJobs();
            waitForNextSecond();
            const QString summary = openShiftSummary(main);
            QVERIFY2(!summary.isEmpty(), qPrintable(QStringLiteral("no shift summary\n") + client.output()));
            QVERIFY(waitForTotals(sandbox, 1));
            // 打印 waits for the totals: the client has them once it logged their reply.
            QVERIFY2(client.waitForOutput(QStringLiteral("\"allmoney\"")), qPrintable(client.output()));
            const QList<QJsonObject> firstQueries = sandbox.loggedRequests(QStringLiteral("Account.Pay.listSumTicket"));
            QCOMPARE(firstQueries.size(), 1);

            clickAt(summary, 78, 476);  // 打印
            QVERIFY2(
                QTest::qWaitFor(
                    [&] { return !sandbox.loggedRequests(QStringLiteral("Account.Print.logPrint")).isEmpty(); }, 10000),
                qPrintable(client.output()));
            const QJsonObject logged = sandbox.loggedRequests(QStringLiteral("Account.Print.logPrint")).first();
            // The print is recorded for the period the summary showed.
            QCOMPARE(field(logged, "time1"), field(firstQueries.first(), "time1"));
            QCOMPARE(field(logged, "time2"), field(firstQueries.first(), "time2"));

            // The summary itself, identified by its content among whatever else the shared queue holds.
            QString text;
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             const QSet<QString> added = capturedJobs() - before;
                             for (const QString& job : added) {
                                 const QString t = jobText(job);
                                 if (printedTextHas(t, QStringLiteral("收银汇总"))) {
                                     text = t;
                                     return true;
                                 }
                             }
                             return false;
                         },
                         20000),
                     "no shift summary reached the capture queue");
            const QString alipay = QStringLiteral("支付宝金额：￥12.50元").normalized(QString::NormalizationForm_KC);
            QVERIFY2(printedTextHas(text.simplified().remove(QLatin1Char(' ')), alipay),
                     qPrintable(QStringLiteral("not in the summary:\n") + text));

            // Yes: a new copy at its login window, and this one ends.
            const QString question = waitForVisible(QStringLiteral("退出程序"), 10000);
            QVERIFY2(!question.isEmpty(), qPrintable(client.output()));
            pointAt(question, 20, 20);
            key(QStringLiteral("y"));
            QCOMPARE(client.waitForExit(15000), 0);
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("restarted as pid (\\d+)")).match(client.output());
            QVERIFY2(m.hasMatch(), qPrintable(client.output()));
            next.pid = m.captured(1).toLongLong();
        }

        // The next cashier signs in on the new copy; the period proposed starts when the print was recorded.
        const qint64 printedAt = loggedAt(sandbox.loggedRequests(QStringLiteral("Account.Print.logPrint")).first());
        sandbox.clearLog();
        signInOnScreen(sandbox);
        if (QTest::currentTestFailed()) {
            return;
        }
        const QString main = waitForVisible(QStringLiteral("柚屿智付"), kMainSize);
        QVERIFY2(!main.isEmpty(), "the new copy's main window did not appear");
        const QString summary = openShiftSummary(main);
        QVERIFY2(!summary.isEmpty(), "no shift summary in the new copy");
        QVERIFY(waitForTotals(sandbox, 1));
        const QList<QJsonObject> queries = sandbox.loggedRequests(QStringLiteral("Account.Pay.listSumTicket"));
        QCOMPARE(queries.size(), 1);
        const qint64 start = field(queries.first(), "time1").toLongLong();
        // The gateway stamps the record in whole seconds while it handles the request it logged.
        QVERIFY2(qAbs(start - printedAt) <= 1,
                 qPrintable(QStringLiteral("period starts %1, print recorded %2").arg(start).arg(printedAt)));
        clickAt(summary, 205, 476);  // 关闭
        QVERIFY(waitForHidden(kSummaryTitle));
    }
};

QTEST_GUILESS_MAIN(TestShiftE2E)
#include "tst_shift_e2e.moc"

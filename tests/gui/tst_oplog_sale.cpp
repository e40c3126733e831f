// The operations log seen from a sale: what the cashier saw lands in it, and a log that cannot be written changes
// nothing of the sale.
#include "app/dataconfig.h"
#include "app/oplog.h"
#include "app/usersession.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "screens.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QtTest>

using namespace testsupport;

namespace {

enum LogState { Writing, NoFolder, DiskFull };

// Prepares `folder` as the row asks and starts the log there.
void startLog(const QString& folder, LogState state) {
    if (state == NoFolder) {
        QFile blocker(folder);  // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (state == DiskFull) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), QDir(folder).filePath(QStringLiteral("cashier.log"))));
    }
    oplog::start(folder, oplog::Level::Info, {}, false);
}

QByteArray logText(const QString& folder) {
    QFile f(QDir(folder).filePath(QStringLiteral("cashier.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestOpLogSale : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        oplog::stop();
        QCOMPARE(endSaleWindows(), 0);
    }

    void saleWhateverTheLog_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("paid");
        QTest::newRow("log writing, paid") << int(Writing) << true;
        QTest::newRow("log writing, refused") << int(Writing) << false;
        QTest::newRow("no log folder, paid") << int(NoFolder) << true;
        QTest::newRow("disk full, paid") << int(DiskFull) << true;
        QTest::newRow("disk full, refused") << int(DiskFull) << false;
    }
    void saleWhateverTheLog() {
        QFETCH(int, state);
        QFETCH(bool, paid);
        TempWorkDir dir;
        const QString folder = dir.file(QStringLiteral("logs"));
        startLog(folder, LogState(state));
        till().session().setLoginInfo(LoginInfo{QStringLiteral("tk-secret-1"), QStringLiteral("42"),
                                                QStringLiteral("demo"), QString(), QString()});
        till().session().setCurrentShop(Shop{QStringLiteral("7"), QString(), QString()});
        StubGateway stub;
        const QString refusal = QStringLiteral("用户余额不足，支付失败");
        stub.setReply(paid ? QByteArray(R"({"content":{"msg":"成功","operator":"张三","out_trade_no":"ORD1",)"
                                        R"("pay_channel":"ALIPAY","money":1250,"pay_date":"2026-12-07 08:00:00"}})")
                           : R"({"content":{"msg":")" + refusal.toUtf8() + R"("}})");
        till().settings().setGatewayUrl(stub.url());
        MessageBoxWatcher boxes;
        QWidget host;
        FormSaoMaShouKuan page(till(), &host);
        page.setAmountText("12.50");
        page.startCollect();
        QPointer<FormCS> cs = page.paymentWindow();
        QVERIFY(cs);
        const QString code = QStringLiteral("280000000000001234");
        QTest::keyClicks(cs, code);
        QTest::keyClick(cs, Qt::Key_Return);
        if (paid) {
            QVERIFY(QTest::qWaitFor([] { return resultWindows().size() == 1; }, 5000));
            QCOMPARE(labelText(*resultWindows().first(), "label_sys_order"), QString("ORD1"));
            QCOMPARE(boxes.count(), 0);
            closeResultWindows();
        } else {
            QVERIFY(boxes.waitForBoxes(1));
            QCOMPARE(boxes.last().text, refusal);
            QVERIFY(resultWindows().isEmpty());
        }
        QCOMPARE(stub.countOf("Pay.Ace.scanpay"), 1);
        if (state != Writing) {
            QTRY_VERIFY(!oplog::isOn());
            return;
        }
        oplog::stop();
        const QByteArray text = logText(folder);
        // The story of the sale, without the token or the whole payment code.
        QVERIFY2(text.contains("Pay.Ace.scanpay ("), text.constData());
        QVERIFY(text.contains(paid ? "charge sending -> paid" : "charge sending -> refused"));
        QVERIFY(text.contains("****1234"));
        QVERIFY(!text.contains(code.toUtf8()));
        QVERIFY(!text.contains("tk-secret-1"));
        if (!paid) {
            // What the cashier saw: the box's title and text.
            QVERIFY(text.contains(("[" + boxes.last().title + "] " + refusal).toUtf8()));
        }
    }
};

QTEST_MAIN(TestOpLogSale)
#include "tst_oplog_sale.moc"

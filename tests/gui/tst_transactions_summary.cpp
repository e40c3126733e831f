// The shift summary and the merchant page, offscreen, against a stub gateway.
#include "app/dataconfig.h"
#include "app/relaunch.h"
#include "app/usersession.h"
#include "core/tilltime.h"
#include "gateway/gatewayclock.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/summaryhtml.h"
#include "screens.h"
#include "testsupport.h"
#include "transactions/formshangjiaxinxi.h"
#include "transactions/mytrade.h"

#include <QDateTimeEdit>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QtTest>

using namespace testsupport;

namespace {

const QString kStart = QStringLiteral("2026-12-07 08:00:00");
const QString kEnd = QStringLiteral("2026-12-07 18:00:00");

qint64 epoch(const QString& text) {
    // The gateway's wall clock, whatever zone this machine is in (under Wine it is the host's).
    return tilltime::fromWall(till().clock(), QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        .toSecsSinceEpoch();
}

QByteArray printTimeReply(const QString& time1, const QString& time2) {
    return QStringLiteral(R"({"code":1,"content":{"code":1,"time1":"%1","time2":"%2"}})").arg(time1, time2).toUtf8();
}

QByteArray totalsReply(const QString& alipayFen, const QString& ticketsJson = QStringLiteral("[]")) {
    return QStringLiteral(R"({"code":1,"content":{"code":1,"time1":"%1","time2":"%2","allmoney":"%3",
        "refundmoney":"0","ALIPAY":{"money":"%3","refundmoney":"0"},"WECHAT":{"money":"0","refundmoney":"0"},
        "tickets":%4}})")
        .arg(kStart, kEnd, alipayFen, ticketsJson)
        .toUtf8();
}

QPushButton* printButton(const QWidget& w) {
    return w.findChild<QPushButton*>(QStringLiteral("btnPrint"));
}

QDateTimeEdit* edit(const QWidget& w, const char* name) {
    return w.findChild<QDateTimeEdit*>(QString::fromLatin1(name));
}

// Records what a hand-over would start and end, instead of starting a process and ending the test.
struct RelaunchRecorder {
    QList<relaunch::Command> started;
    QList<int> quits;
    bool startWorks = true;
    std::function<void()> onStart;
    RelaunchRecorder() {
        till().setRestart(
            [this](const relaunch::Command& c) {
                started.append(c);
                if (onStart) {
                    onStart();
                }
                return startWorks;
            },
            [this](int code) { quits.append(code); });
    }
    ~RelaunchRecorder() { till().setRestart({}, {}); }
};

void signedIn() {
    till().session().setLoginInfo(LoginInfo{"tk-1", QString(), "demo", "张三", "岚舟演示商户"});
    till().session().setCurrentShop(Shop{"1", "岚舟演示商户", "西湖店"});
}

// A gateway that proposes kStart..kEnd and answers the totals with 12.50 yuan by Alipay.
void standardGateway(StubGateway& stub) {
    stub.setHandler([](const QByteArray& body) {
        if (actionOf(body) == "Account.Print.prinTtime") {
            return StubGateway::Response{200, printTimeReply(kStart, kEnd), 0};
        }
        if (actionOf(body) == "Account.Pay.listSumTicket") {
            return StubGateway::Response{200, totalsReply("1250"), 0};
        }
        return StubGateway::Response{200, R"({"code":1,"content":{"code":1,"msg":"成功"}})", 0};
    });
}

}  // namespace

class TestTransactionsSummary : public QObject {
    Q_OBJECT

private slots:
    void totalsShownAndPrintableOnceIn() {
        GatewayFixture f;
        signedIn();
        standardGateway(f.stub);
        myTrade dialog(till());
        // Nothing to print before the figures of the period are in.
        QVERIFY(!printButton(dialog)->isEnabled());
        QTRY_COMPARE(labelText(dialog, "lblzfbje"), QString("￥12.50元"));
        QVERIFY(printButton(dialog)->isEnabled());
        QCOMPARE(labelText(dialog, "lblwxje"), QString("￥0.00元"));
        QCOMPARE(labelText(dialog, "lblssje"), QString("￥12.50元"));
        QCOMPARE(labelText(dialog, "lbltime"), kStart);
        QCOMPARE(labelText(dialog, "lblczry"), QString("张三"));
        QCOMPARE(labelText(dialog, "lblskmd"), QString("岚舟演示商户西湖店"));
        // The totals asked for are those of the proposed period, in Unix seconds.
        const QList<QByteArray> queries = f.stub.bodiesOf("Account.Pay.listSumTicket");
        QCOMPARE(queries.size(), 1);
        QCOMPARE(formValue(queries.first(), "time1").toLongLong(), epoch(kStart));
        QCOMPARE(formValue(queries.first(), "time2").toLongLong(), epoch(kEnd));
        QCOMPARE(formValue(queries.first(), "token"), QString("tk-1"));

        // A date change asks again; until the answer is in, printing waits.
        edit(dialog, "time2")
            ->setDateTime(tilltime::wallFields(till().clock(), QDateTime::fromSecsSinceEpoch(epoch(kEnd) + 60)));
        QVERIFY(!printButton(dialog)->isEnabled());
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QCOMPARE(f.stub.bodiesOf("Account.Pay.listSumTicket").size(), 2);
        QCOMPARE(f.boxes.count(), 0);
    }

    void staleTotalsReplyIgnored() {
        GatewayFixture f;
        signedIn();
        // The proposed period's totals come late; those of the period the cashier then chose come at once.
        f.stub.setHandler([](const QByteArray& body) {
            if (actionOf(body) == "Account.Print.prinTtime") {
                return StubGateway::Response{200, printTimeReply(kStart, kEnd), 0};
            }
            if (formValue(body, "time2").toLongLong() == epoch(kEnd)) {
                return StubGateway::Response{200, totalsReply("100"), 800};
            }
            return StubGateway::Response{200, totalsReply("250"), 0};
        });
        myTrade dialog(till());
        QVERIFY(f.stub.waitForBodies(2));
        edit(dialog, "time2")
            ->setDateTime(tilltime::wallFields(till().clock(), QDateTime::fromSecsSinceEpoch(epoch(kEnd) + 3600)));
        QTRY_COMPARE(labelText(dialog, "lblzfbje"), QString("￥2.50元"));
        QVERIFY(printButton(dialog)->isEnabled());
        // The old period's answer has come and gone.
        QVERIFY(f.stub.waitForAnswers());
        QVERIFY(f.stub.roundTrip());
        QCOMPARE(labelText(dialog, "lblzfbje"), QString("￥2.50元"));
        QVERIFY(printButton(dialog)->isEnabled());
        QCOMPARE(f.boxes.count(), 0);
    }

    void printTimeReplyQueriesOnce_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("time1");
        QTest::addColumn<QString>("time2");
        QTest::addColumn<bool>("startProposed");
        QTest::addColumn<bool>("endProposed");
        QTest::newRow("both dates change") << 200 << kStart << kEnd << true << true;
        QTest::newRow("only the end changes") << 200 << QString() << kEnd << false << true;
        QTest::newRow("only the start changes") << 200 << kStart << QString() << true << false;
        QTest::newRow("neither changes") << 200 << QString() << QString() << false << false;
        // No till yet: a fresh one's clock (the gateway's default zone) is what the test's till will have.
        const gateway::Clock fresh;
        QTest::newRow("start equal to the default")
            << 200 << tilltime::today(fresh).toString("yyyy-MM-dd 00:00:00") << QString() << true << false;
        QTest::newRow("print time unreadable") << 200 << QString("yesterday") << QString() << false << false;
        QTest::newRow("print time fails") << 503 << kStart << kEnd << false << false;
    }
    void printTimeReplyQueriesOnce() {
        QFETCH(int, status);
        QFETCH(QString, time1);
        QFETCH(QString, time2);
        QFETCH(bool, startProposed);
        QFETCH(bool, endProposed);
        GatewayFixture f;
        signedIn();
        f.stub.setHandler([&](const QByteArray& body) {
            if (actionOf(body) == "Account.Print.prinTtime") {
                return StubGateway::Response{status, printTimeReply(time1, time2), 0};
            }
            return StubGateway::Response{200, totalsReply("1250"), 0};
        });
        const qint64 midnight =
            tilltime::fromWall(till().clock(), QDateTime(tilltime::today(till().clock()), QTime(0, 0)))
                .toSecsSinceEpoch();
        const qint64 opened = QDateTime::currentSecsSinceEpoch();
        myTrade dialog(till());
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QVERIFY(f.stub.roundTrip());  // a second query would have been started with the answers read by now
        const QList<QByteArray> queries = f.stub.bodiesOf("Account.Pay.listSumTicket");
        QCOMPARE(queries.size(), 1);
        QCOMPARE(formValue(queries.first(), "time1").toLongLong(), startProposed ? epoch(time1) : midnight);
        const qint64 end = formValue(queries.first(), "time2").toLongLong();
        if (endProposed) {
            QCOMPARE(end, epoch(time2));
        } else {
            QVERIFY(end >= opened && end <= opened + 5);
        }
        // A failed print-time query is silent.
        QCOMPARE(f.boxes.count(), 0);
    }

    void totalsFailures_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("transport") << 500 << QByteArray("oops") << "数据查询失败，请检查网络设置";
        QTest::newRow("refused: the gateway's reason")
            << 200 << QByteArray(R"({"code":2,"content":{"code":0,"msg":"登录已失效"}})") << "登录已失效";
        QTest::newRow("refused without a reason")
            << 200 << QByteArray(R"({"code":0,"content":[]})") << "数据查询失败，请检查网络设置";
    }
    void totalsFailures() {
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        GatewayFixture f;
        signedIn();
        f.stub.setHandler([&](const QByteArray& body) {
            if (actionOf(body) == "Account.Print.prinTtime") {
                return StubGateway::Response{200, printTimeReply(kStart, kEnd), 0};
            }
            return StubGateway::Response{status, reply, 0};
        });
        myTrade dialog(till());
        QVERIFY(f.boxes.waitForBoxes(1));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(f.boxes.last().title, QString("错误提示"));
        QCOMPARE(f.boxes.last().text, message);
        // No summary of zeros for a period whose totals never came.
        QCOMPARE(labelText(dialog, "lblssje"), QString());
        QVERIFY(!printButton(dialog)->isEnabled());
    }

    void ticketLinesReplacedByEachAnswer() {
        GatewayFixture f;
        signedIn();
        f.stub.setHandler([](const QByteArray& body) {
            if (actionOf(body) == "Account.Print.prinTtime") {
                return StubGateway::Response{200, printTimeReply(kStart, kEnd), 0};
            }
            const bool first = formValue(body, "time2").toLongLong() == epoch(kEnd);
            return StubGateway::Response{200,
                                         totalsReply("1250", first ? R"([{"cardno":"成人票","sum":"40","num":"2"},
                                          {"cardno":"老人票","sum":"12.5","num":"1"}])"
                                                                   : "[]"),
                                         0};
        });
        myTrade dialog(till());
        QTRY_COMPARE(ticketLabels(dialog).size(), 2);
        QCOMPARE(ticketLabels(dialog).at(0)->text(), QString("成人票(40元,2张)"));
        QCOMPARE(ticketLabels(dialog).at(1)->text(), QString("老人票(12.5元,1张)"));
        // The last line is not cut off.
        QVERIFY(dialog.findChild<QWidget*>("scrollAreaWidgetContents")->height() >=
                ticketLabels(dialog).at(1)->geometry().bottom());
        QVERIFY(dialog.summaryHtml().contains(
            receipts::summaryTicketsHtml({{"成人票", "40", "2"}, {"老人票", "12.5", "1"}})));

        edit(dialog, "time2")
            ->setDateTime(tilltime::wallFields(till().clock(), QDateTime::fromSecsSinceEpoch(epoch(kEnd) + 60)));
        QTRY_VERIFY(ticketLabels(dialog).isEmpty());
        QVERIFY(!dialog.summaryHtml().contains(QStringLiteral("成人票")));
    }

    void printingOffLogsThenWarns() {
        GatewayFixture f;
        signedIn();
        standardGateway(f.stub);
        till().settings().setPrinterName(QString::fromUtf8(DataConfig::kNoPrinter));
        ReceiptCatcher catcher;
        RelaunchRecorder relaunch;
        myTrade dialog(till());
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QTest::mouseClick(printButton(dialog), Qt::LeftButton);
        QCOMPARE(f.boxes.count(), 1);
        QCOMPARE(f.boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(f.boxes.last().title, QString("提示信息"));
        QCOMPARE(f.boxes.last().text, receipts::requestedPrintWarning(till().settings().printerName()));
        QTRY_COMPARE(f.stub.bodiesOf("Account.Print.logPrint").size(), 1);
        const QByteArray log = f.stub.bodiesOf("Account.Print.logPrint").first();
        QCOMPARE(formValue(log, "time1").toLongLong(), epoch(kStart));
        QCOMPARE(formValue(log, "time2").toLongLong(), epoch(kEnd));
        QVERIFY(catcher.html.isEmpty());
        QVERIFY(relaunch.started.isEmpty());
    }

    void summaryThatDidNotPrintIsOfferedAgainBeforeHandingOver() {
        GatewayFixture f;
        signedIn();
        standardGateway(f.stub);
        till().settings().setPrinterName(
            QStringLiteral("CashierNoSuchQueue%1").arg(QCoreApplication::applicationPid()));
        RelaunchRecorder relaunch;
        // 重新打印 once, then 取消: the printer is still missing.
        f.boxes.queueAnswers({QMessageBox::Retry, QMessageBox::Cancel});
        myTrade dialog(till());
        dialog.show();
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QTest::mouseClick(printButton(dialog), Qt::LeftButton);
        // Told twice why it did not print; no question about handing over without the summary on paper.
        QCOMPARE(f.boxes.count(), 2);
        for (const SeenBox& box : f.boxes.boxes()) {
            QCOMPARE(box.icon, QMessageBox::Warning);
            // A machine with no printer at all (a new Wine prefix) is told that instead of the missing name.
            QVERIFY2(
                box.text.contains(till().settings().printerName()) || QPrinterInfo::availablePrinterNames().isEmpty(),
                qPrintable(box.text));
        }
        QVERIFY(dialog.isVisible());
        QVERIFY(relaunch.started.isEmpty());
    }

    void noKeepsTheDialog() {
        GatewayFixture f;
        signedIn();
        standardGateway(f.stub);
        till().settings().setPrinterName(QStringLiteral("CashierCapture"));
        ReceiptCatcher catcher;
        RelaunchRecorder relaunch;
        f.boxes.setAnswer(QMessageBox::No);
        myTrade dialog(till());
        dialog.show();
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QTest::mouseClick(printButton(dialog), Qt::LeftButton);
        QCOMPARE(catcher.html.size(), 1);
        QVERIFY(catcher.html.first().contains("支付宝金额：￥12.50元"));
        QCOMPARE(f.boxes.count(), 1);
        QCOMPARE(f.boxes.last().icon, QMessageBox::Question);
        QCOMPARE(f.boxes.last().title, QString("退出程序"));
        QCOMPARE(f.boxes.last().text, QString("是否要退出程序重新登陆?"));
        QVERIFY(dialog.isVisible());
        QVERIFY(printButton(dialog)->isEnabled());
        QVERIFY(relaunch.started.isEmpty());
        QVERIFY(relaunch.quits.isEmpty());
        QTRY_COMPARE(f.stub.bodiesOf("Account.Print.logPrint").size(), 1);
    }

    void yesHandsOver_data() {
        QTest::addColumn<bool>("startWorks");
        QTest::newRow("new copy starts") << true;
        QTest::newRow("new copy cannot start") << false;
    }
    void yesHandsOver() {
        QFETCH(bool, startWorks);
        GatewayFixture f;
        signedIn();
        // The print record is answered late: the hand-over waits for it.
        f.stub.setHandler([](const QByteArray& body) {
            if (actionOf(body) == "Account.Print.prinTtime") {
                return StubGateway::Response{200, printTimeReply(kStart, kEnd), 0};
            }
            if (actionOf(body) == "Account.Print.logPrint") {
                return StubGateway::Response{200, R"({"code":1,"content":{"code":1}})", 400};
            }
            return StubGateway::Response{200, totalsReply("1250"), 0};
        });
        till().settings().setPrinterName(QStringLiteral("CashierCapture"));
        ReceiptCatcher catcher;
        RelaunchRecorder relaunch;
        relaunch.startWorks = startWorks;
        int logsAtStart = -1;
        relaunch.onStart = [&] { logsAtStart = f.stub.bodiesOf("Account.Print.logPrint").size(); };
        f.boxes.setAnswer(QMessageBox::Yes);
        myTrade dialog(till());
        dialog.show();
        QTRY_VERIFY(printButton(dialog)->isEnabled());
        QTest::mouseClick(printButton(dialog), Qt::LeftButton);

        QCOMPARE(relaunch.started.size(), 1);
        QCOMPARE(logsAtStart, 1);
        QCOMPARE(relaunch.started.first().program, QCoreApplication::applicationFilePath());
        QCOMPARE(relaunch.started.first().workingDirectory, QDir::currentPath());
        if (startWorks) {
            QCOMPARE(relaunch.quits, QList<int>{0});
            QVERIFY(!dialog.isVisible());
            QCOMPARE(f.boxes.count(), 1);
        } else {
            // Nothing is ended when there would be no program left for the next cashier.
            QVERIFY(relaunch.quits.isEmpty());
            QVERIFY(dialog.isVisible());
            QCOMPARE(f.boxes.count(), 2);
            QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        }
    }

    void opensModalAndGoesWhenClosed() {
        GatewayFixture f;
        signedIn();
        standardGateway(f.stub);
        QPointer<myTrade> dialog = myTrade::openNonBlocking(till());
        QCOMPARE(visibleTopLevels<myTrade>().size(), 1);
        QVERIFY(dialog->isModal());
        QCOMPARE(dialog->size(), QSize(283, 503));
        QTRY_VERIFY(printButton(*dialog)->isEnabled());
        QTest::mouseClick(dialog->findChild<QPushButton*>("btnClose"), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
    }

    void merchantPageShowsTheSession_data() {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("store");
        QTest::newRow("branch") << "西湖店"
                                << "岚舟演示商户  西湖店";
        QTest::newRow("empty branch") << ""
                                      << "岚舟演示商户  ";
        QTest::newRow("branch looking like markup") << "<b>西湖店</b>"
                                                    << "岚舟演示商户  <b>西湖店</b>";
    }
    void merchantPageShowsTheSession() {
        QFETCH(QString, branch);
        QFETCH(QString, store);
        TempWorkDir dir;
        till().session().setLoginInfo(LoginInfo{"tk-1", QString(), "demo", "张三", QString()});
        till().session().setCurrentShop(Shop{QString(), QStringLiteral("岚舟演示商户"), branch});
        QWidget host;
        FormShangJiaXinXi page(till().session(), &host, {});
        QCOMPARE(labelText(page, "sy_label"), QString("张三"));
        QCOMPARE(labelText(page, "sh_label"), QString("demo"));
        QCOMPARE(labelText(page, "gs_label"), QString());
        QCOMPARE(labelText(page, "md_label"), store);
        QCOMPARE(page.findChild<QLabel*>("md_label")->textFormat(), Qt::PlainText);
    }

    void merchantPageOpensThePasswordPages() {
        TempWorkDir dir;
        QList<int> opened;
        QWidget host;
        FormShangJiaXinXi page(till().session(), &host, [&](SettingsPage p) { opened.append(settingsPageNumber(p)); });
        QTest::mouseClick(page.findChild<QPushButton*>("btnPwd"), Qt::LeftButton);
        QTest::mouseClick(page.findChild<QPushButton*>("btnRefundPwd"), Qt::LeftButton);
        QCOMPARE(opened, (QList<int>{3, 4}));
    }
};

QTEST_MAIN(TestTransactionsSummary)
#include "tst_transactions_summary.moc"

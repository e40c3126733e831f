#include "app/dataconfig.h"
#include "collect/formsaomashoukuan.h"
#include "collect/ticketform.h"
#include "settings/settingmain.h"
#include "shell/floatwidget.h"
#include "shell/mainwindow.h"
#include "hubpages.h"
#include "testsupport.h"
#include "transactions/formjiaoyicx.h"
#include "transactions/formshangjiaxinxi.h"
#include "transactions/mytrade.h"
#include "widgets/windowstyle.h"

#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace testsupport;

namespace {

QRadioButton* radio(MainWindow& w, const char* name) {
    return w.findChild<QRadioButton*>(QString::fromLatin1(name));
}

int pageObjects(MainWindow& w) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return w.findChildren<FormSaoMaShouKuan*>().size() + w.findChildren<TicketForm*>().size() +
           w.findChildren<FormJiaoYiCX*>().size();
}

}  // namespace

class TestShellMainWindow : public QObject {
    Q_OBJECT

private slots:
    // The page buttons' images (and their clickable size) come from the shared style sheet, as in the client.
    void initTestCase() { windowstyle::applyApplicationStyle(); }
    void init() {
        m_dir = std::make_unique<TempWorkDir>();
        m_serial = std::make_unique<IdleSerialLine>();
    }
    void cleanup() {
        m_serial.reset();
        m_dir.reset();
    }

    void startsOnTheTicketPageAsTheOneMainWindow() {
        MainWindow w(till());
        QCOMPARE(w.windowTitle(), QStringLiteral("柚屿智付"));
        QCOMPARE(w.currentPageIndex(), int(MainWindow::TicketPage));
        QVERIFY(w.ticketPage());
        QVERIFY(!w.amountPage());
        QVERIFY(radio(w, "pwgl_btn")->isChecked());
        QCOMPARE(pageObjects(w), 1);
        // No desktop here: no key was grabbed and no warning about another copy was shown.
        MessageBoxWatcher boxes;
        QVERIFY(!w.hotKeyRegistered());
        QVERIFY(waitForQueuedWork());
        QCOMPARE(boxes.count(), 0);
    }

    void aPageIsRebuiltOnlyWhenAnotherIdIsChosen_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("firstTicketPageKept");
        QTest::newRow("ticket again") << QStringList{"pwgl_btn"} << 3 << true;
        QTest::newRow("ticket twice") << QStringList{"pwgl_btn", "pwgl_btn"} << 3 << true;
        QTest::newRow("amount") << QStringList{"smsk_btn"} << 0 << false;
        QTest::newRow("amount twice") << QStringList{"smsk_btn", "smsk_btn"} << 0 << false;
        QTest::newRow("amount and back") << QStringList{"smsk_btn", "pwgl_btn"} << 3 << false;
        QTest::newRow("query twice") << QStringList{"jycx_btn", "jycx_btn"} << 1 << false;
        QTest::newRow("query and back") << QStringList{"jycx_btn", "pwgl_btn"} << 3 << false;
    }
    void aPageIsRebuiltOnlyWhenAnotherIdIsChosen() {
        QFETCH(QStringList, clicks);
        QFETCH(int, page);
        QFETCH(bool, firstTicketPageKept);
        MainWindow w(till());
        w.show();
        QPointer<TicketForm> first = w.ticketPage();
        QPointer<FormSaoMaShouKuan> amount;
        int amountBuilds = 0;
        QPointer<FormJiaoYiCX> query;
        int queryBuilds = 0;
        for (const QString& name : clicks) {
            QTest::mouseClick(radio(w, name.toLatin1().constData()), Qt::LeftButton, {}, QPoint(40, 50));
            if (w.amountPage() && w.amountPage() != amount) {
                amount = w.amountPage();
                ++amountBuilds;
            }
            if (w.queryPage() && w.queryPage() != query) {
                query = w.queryPage();
                ++queryBuilds;
            }
        }
        QCOMPARE(w.currentPageIndex(), page);
        QCOMPARE(pageObjects(w), 1);
        QCOMPARE(!first.isNull(), firstTicketPageKept);
        QVERIFY(amountBuilds <= 1);
        QVERIFY(queryBuilds <= 1);
        if (page == MainWindow::TicketPage) {
            QVERIFY(w.ticketPage());
            QVERIFY(w.ticketPage()->isVisible());
        } else if (page == MainWindow::QueryPage) {
            QVERIFY(w.queryPage());
            QVERIFY(w.queryPage()->isVisible());
        } else {
            QVERIFY(w.amountPage());
            QVERIFY(w.amountPage()->isVisible());
        }
    }

    void shortcutsChooseThePages() {
        MainWindow w(till());
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        QTRY_COMPARE(w.currentPageIndex(), int(MainWindow::AmountPage));
        QVERIFY(radio(w, "smsk_btn")->isChecked());
        QTest::keyClick(&w, Qt::Key_F2);
        QTRY_COMPARE(w.currentPageIndex(), int(MainWindow::QueryPage));
        QVERIFY(radio(w, "jycx_btn")->isChecked());
        QVERIFY(w.queryPage());
        QVERIFY(w.queryPage()->isVisible());
        QTest::keyClick(&w, Qt::Key_F3);
        QTRY_COMPARE(w.currentPageIndex(), int(MainWindow::MerchantPage));
        QVERIFY(qobject_cast<FormShangJiaXinXi*>(w.currentPage()));
        QVERIFY(radio(w, "sjxx_btn")->isChecked());
        QVERIFY(!w.queryPage());
        QTest::keyClick(&w, Qt::Key_Escape);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(w.floatWidget()->isVisible());
    }

    void keysReachTheAmountPageOnlyWhenItExists_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("field");
        QTest::newRow("digit") << QList<int>{Qt::Key_5} << "5";
        QTest::newRow("digits") << QList<int>{Qt::Key_1, Qt::Key_2, Qt::Key_0} << "120";
        QTest::newRow("point") << QList<int>{Qt::Key_3, Qt::Key_Period, Qt::Key_5} << "3.5";
        QTest::newRow("backspace") << QList<int>{Qt::Key_4, Qt::Key_2, Qt::Key_Backspace} << "4";
        QTest::newRow("letters ignored") << QList<int>{Qt::Key_A, Qt::Key_7} << "7";
    }
    void keysReachTheAmountPageOnlyWhenItExists() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, field);
        MainWindow w(till());
        w.show();
        // On the ticket page the same keys go nowhere and build nothing.
        for (int key : keys) {
            QTest::keyClick(&w, Qt::Key(key));
        }
        QVERIFY(waitForQueuedWork());
        QVERIFY(!w.amountPage());
        QCOMPARE(pageObjects(w), 1);

        radio(w, "smsk_btn")->click();
        FormSaoMaShouKuan* amount = w.amountPage();
        QVERIFY(amount);
        QCOMPARE(amount->fieldText(), QString());
        for (int key : keys) {
            QTest::keyClick(&w, Qt::Key(key));
            // Keys further apart than the page's scanner window, as a cashier types them: the next key only once
            // the window has closed, however slowly the timer runs under load.
            QVERIFY(QTest::qWaitFor([&] { return !amount->keyWindowOpen(); }, 5000));
        }
        QTRY_COMPARE(amount->fieldText(), field);
    }

    void hidingToTrayAndComingBack() {
        MainWindow w(till());
        w.show();
        FloatWidget* icon = w.floatWidget();
        QCOMPARE(icon->ownerWindow(), &w);
        QCOMPARE(icon->toolTip(), QStringLiteral("柚屿智付PC端V3.0.1"));
        QCOMPARE(w.trayIcon()->toolTip(), QStringLiteral("柚屿智付PC端V3.0.1"));
        QVERIFY(!icon->isVisible());

        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("close_btn")), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(icon->isVisible());
        w.onActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!w.isVisible());
        w.onActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w.isVisible());
        QVERIFY(!icon->isVisible());

        // A double click on the floating icon brings the window back and leaves the icon on screen.
        w.findChild<QPushButton*>(QStringLiteral("min_btn"))->click();
        QTest::mouseDClick(icon, Qt::LeftButton);
        QVERIFY(w.isVisible());
        QVERIFY(icon->isVisible());
    }

    void settingsButtonOpensTheHubOnOtherSettings() {
        SettingMain hub(till());
        MainWindow w(till(), [&hub](SettingsPage page) { hub.open(page); });
        w.show();
        int typeSeen = 0;
        bool modal = false;
        whileModal([&] {
            typeSeen = hubPageShown(hub);
            modal = hub.isVisible() && QApplication::activeModalWidget() == &hub;
            hub.findChild<QPushButton*>(QStringLiteral("close_btn"))->click();
        });
        w.findChild<QPushButton*>(QStringLiteral("set_btn"))->click();
        QCOMPARE(typeSeen, 2);
        QVERIFY(modal);
        QVERIFY(!hub.isVisible());
    }

    void shiftButtonOpensTheSummary() {
        StubGateway stub;
        till().settings().setGatewayUrl(stub.url());
        MessageBoxWatcher boxes;
        MainWindow w(till());
        w.show();
        QTest::mouseClick(radio(w, "jycx_btn"), Qt::LeftButton, {}, QPoint(40, 50));
        QVERIFY(w.queryPage());
        auto* button = w.queryPage()->findChild<QPushButton*>(QStringLiteral("btn_mytrade"));
        QVERIFY(button->isEnabled());
        button->click();
        QCOMPARE(visibleTopLevels<myTrade>().size(), 1);
        QPointer<myTrade> summary = visibleTopLevels<myTrade>().first();
        QVERIFY(summary->isModal());
        summary->close();
        QTRY_VERIFY(summary.isNull());
    }

    void merchantPageOpensTheHubOnThePasswordPage() {
        SettingMain hub(till());
        MainWindow w(till(), [&hub](SettingsPage page) { hub.open(page); });
        w.show();
        QTest::mouseClick(radio(w, "sjxx_btn"), Qt::LeftButton, {}, QPoint(40, 50));
        QCOMPARE(w.currentPageIndex(), int(MainWindow::MerchantPage));
        int typeSeen = 0;
        bool modal = false;
        whileModal([&] {
            typeSeen = hubPageShown(hub);
            modal = hub.isVisible() && QApplication::activeModalWidget() == &hub;
            hub.findChild<QPushButton*>(QStringLiteral("close_btn"))->click();
        });
        w.currentPage()->findChild<QPushButton*>(QStringLiteral("btnPwd"))->click();
        QCOMPARE(typeSeen, 3);
        QVERIFY(modal);
        QVERIFY(!hub.isVisible());
    }

private:
    std::unique_ptr<TempWorkDir> m_dir;
    std::unique_ptr<IdleSerialLine> m_serial;
};

QTEST_MAIN(TestShellMainWindow)
#include "tst_shell_mainwindow.moc"

#include "collect/draghelper.h"
#include "collect/formsaomashoukuan.h"
#include "collect/ticketform.h"
#include "settings/settingmain.h"
#include "shell/aboutdialog.h"
#include "shell/floatwidget.h"
#include "shell/mainwindow.h"
#include "shell/traymenu.h"
#include "testsupport.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

using namespace testsupport;

namespace {

QRadioButton* radio(MainWindow& w, const char* name) {
    return w.findChild<QRadioButton*>(QString::fromLatin1(name));
}

int pageObjects(MainWindow& w) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return w.findChildren<FormSaoMaShouKuan*>().size() + w.findChildren<TicketForm*>().size();
}

// Runs `check` once the modal run of some dialog has started, then lets `close` end it.
void whileModal(const std::function<void()>& check) {
    QTimer::singleShot(0, [check] { check(); });
}

}  // namespace

class TestShellMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TempWorkDir>(); }
    void cleanup() { m_dir.reset(); }

    void startsOnTheTicketPageAsTheOneMainWindow() {
        MainWindow w;
        QCOMPARE(mainWindow(), &w);
        QCOMPARE(w.windowTitle(), QStringLiteral("柚屿智付"));
        QCOMPARE(w.currentPageIndex(), int(MainWindow::TicketPage));
        QVERIFY(w.ticketPage());
        QVERIFY(!w.amountPage());
        QVERIFY(radio(w, "pwgl_btn")->isChecked());
        QCOMPARE(pageObjects(w), 1);
        // No desktop here: no key was grabbed and no warning about another copy was shown.
        MessageBoxWatcher boxes;
        QVERIFY(!w.hotKeyRegistered());
        QVERIFY(!boxes.waitForBoxes(1, 200));
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
    }
    void aPageIsRebuiltOnlyWhenAnotherIdIsChosen() {
        QFETCH(QStringList, clicks);
        QFETCH(int, page);
        QFETCH(bool, firstTicketPageKept);
        MainWindow w;
        w.show();
        QPointer<TicketForm> first = w.ticketPage();
        QPointer<FormSaoMaShouKuan> amount;
        int amountBuilds = 0;
        for (const QString& name : clicks) {
            QTest::mouseClick(radio(w, name.toLatin1().constData()), Qt::LeftButton, {}, QPoint(40, 50));
            if (w.amountPage() && w.amountPage() != amount) {
                amount = w.amountPage();
                ++amountBuilds;
            }
        }
        QCOMPARE(w.currentPageIndex(), page);
        QCOMPARE(pageObjects(w), 1);
        QCOMPARE(!first.isNull(), firstTicketPageKept);
        QVERIFY(amountBuilds <= 1);
        if (page == MainWindow::TicketPage) {
            QVERIFY(w.ticketPage());
            QVERIFY(w.ticketPage()->isVisible());
        } else {
            QVERIFY(w.amountPage());
            QVERIFY(w.amountPage()->isVisible());
        }
    }

    void shortcutsChooseThePages() {
        MainWindow w;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        QTRY_COMPARE(w.currentPageIndex(), int(MainWindow::AmountPage));
        QVERIFY(radio(w, "smsk_btn")->isChecked());
        // Pages that are not part of this version cannot be chosen.
        QTest::keyClick(&w, Qt::Key_F2);
        QTest::keyClick(&w, Qt::Key_F3);
        QCOMPARE(w.currentPageIndex(), int(MainWindow::AmountPage));
        QVERIFY(w.amountPage());
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
        MainWindow w;
        w.show();
        // On the ticket page the same keys go nowhere and build nothing.
        for (int key : keys) {
            QTest::keyClick(&w, Qt::Key(key));
        }
        QTest::qWait(120);
        QVERIFY(!w.amountPage());
        QCOMPARE(pageObjects(w), 1);

        radio(w, "smsk_btn")->click();
        FormSaoMaShouKuan* amount = w.amountPage();
        QVERIFY(amount);
        QCOMPARE(amount->fieldText(), QString());
        for (int key : keys) {
            QTest::keyClick(&w, Qt::Key(key));
            // Keys further apart than the page's scanner window, as a cashier types them.
            QTest::qWait(120);
        }
        QTRY_COMPARE(amount->fieldText(), field);
    }

    void hidingToTrayAndComingBack() {
        MainWindow w;
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
        SettingMain hub;
        QCOMPARE(settingHub(), &hub);
        MainWindow w;
        w.show();
        int typeSeen = 0;
        bool modal = false;
        QString highlight;
        whileModal([&] {
            typeSeen = hub.currentType();
            modal = hub.isVisible() && QApplication::activeModalWidget() == &hub;
            highlight = hub.pageButton(2)->styleSheet();
            hub.findChild<QPushButton*>(QStringLiteral("close_btn"))->click();
        });
        w.findChild<QPushButton*>(QStringLiteral("set_btn"))->click();
        QCOMPARE(typeSeen, 2);
        QVERIFY(modal);
        QCOMPARE(highlight, SettingMain::activeButtonStyle());
        QVERIFY(!hub.isVisible());
    }

    void hubHighlightsExactlyTheChosenButton_data() {
        QTest::addColumn<int>("type");
        for (int type : {1, 2, 3, 4, 5, 6, 7, 0, 8}) {
            QTest::newRow(QByteArray::number(type)) << type;
        }
    }
    void hubHighlightsExactlyTheChosenButton() {
        QFETCH(int, type);
        SettingMain hub;
        hub.doSet(6);
        hub.doSet(type);
        for (int i = 1; i <= 7; ++i) {
            QCOMPARE(hub.pageButton(i)->styleSheet(),
                     i == type ? SettingMain::activeButtonStyle() : SettingMain::idleButtonStyle());
        }
        // Clicking a button moves the highlight.
        hub.findChild<QPushButton*>(QStringLiteral("btn6"))->click();
        QCOMPARE(hub.currentType(), 6);
        for (int i = 1; i <= 7; ++i) {
            QCOMPARE(hub.pageButton(i)->styleSheet(),
                     i == 6 ? SettingMain::activeButtonStyle() : SettingMain::idleButtonStyle());
        }
    }

    void trayMenuEntriesAndPageNumbers_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("page");
        QTest::newRow("客显设置") << QStringLiteral("客显设置") << 1;
        QTest::newRow("其他设置") << QStringLiteral("其他设置") << 2;
        QTest::newRow("密码设置") << QStringLiteral("密码设置") << 3;
        QTest::newRow("退款密码修改") << QStringLiteral("退款密码修改") << 4;
        QTest::newRow("设置忘记退款密码") << QStringLiteral("设置忘记退款密码") << 5;
        QTest::newRow("收款设置") << QStringLiteral("收款设置") << 6;
        QTest::newRow("退款设置") << QStringLiteral("退款设置") << 7;
    }
    void trayMenuEntriesAndPageNumbers() {
        QFETCH(QString, entry);
        QFETCH(int, page);
        TrayMenu menu;
        QSignalSpy spy(&menu, &TrayMenu::doSetting);
        QAction* action = menu.actionByText(entry);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toInt(), page);
    }

    void trayMenuOrder() {
        TrayMenu menu;
        QStringList texts;
        const auto actions = menu.actions();
        for (QAction* a : actions) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(texts, QStringList({"客显设置", "其他设置", "密码设置", "退款密码修改", "设置忘记退款密码", "收款设置",
                                     "退款设置", "-", "显示主面板", "-", "官方网站", "关于我们", "-", "退出"}));
    }

    void floatingIconMenuOpensHubAndQuitsOwner() {
        SettingMain hub;
        MainWindow w;
        w.show();
        FloatWidget* icon = w.floatWidget();
        icon->show();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), icon->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(icon, &event);
        TrayMenu* menu = icon->menu();
        QVERIFY(menu);
        menu->hide();
        // A second right click reuses the one menu.
        QApplication::sendEvent(icon, &event);
        QCOMPARE(icon->menu(), menu);
        QCOMPARE(icon->findChildren<TrayMenu*>().size(), 1);
        menu->hide();

        int typeSeen = 0;
        whileModal([&] {
            typeSeen = hub.currentType();
            hub.hide();
        });
        menu->actionByText(QStringLiteral("收款设置"))->trigger();
        QCOMPARE(typeSeen, 6);

        menu->actionByText(QStringLiteral("退出"))->trigger();
        QVERIFY(!w.isVisible());
    }

    void framelessWindowsDragWithTheLeftButton_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("pressFirst");
        QTest::addColumn<bool>("releaseBeforeMove");
        QTest::addColumn<QPoint>("shift");
        QTest::newRow("left drag") << int(Qt::LeftButton) << true << false << QPoint(30, -20);
        QTest::newRow("right button") << int(Qt::RightButton) << true << false << QPoint(0, 0);
        QTest::newRow("move without press") << int(Qt::LeftButton) << false << false << QPoint(0, 0);
        QTest::newRow("move after release") << int(Qt::LeftButton) << true << true << QPoint(0, 0);
    }
    void framelessWindowsDragWithTheLeftButton() {
        QFETCH(int, button);
        QFETCH(bool, pressFirst);
        QFETCH(bool, releaseBeforeMove);
        QFETCH(QPoint, shift);
        QWidget window;
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.resize(200, 100);
        window.move(100, 100);
        window.show();
        DragHelper* drag = DragHelper::install(&window);
        const QPoint start = window.pos();
        const auto b = Qt::MouseButton(button);
        auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton which, Qt::MouseButtons held) {
            QMouseEvent e(type, window.mapFromGlobal(global), global, which, held, Qt::NoModifier);
            QApplication::sendEvent(&window, &e);
        };
        const QPoint grab = window.mapToGlobal(QPoint(20, 20));
        if (pressFirst) {
            send(QEvent::MouseButtonPress, grab, b, b);
        }
        if (releaseBeforeMove) {
            send(QEvent::MouseButtonRelease, grab, b, Qt::NoButton);
        }
        // Two steps: each move shifts by the cursor's movement since the last one.
        const Qt::MouseButtons held = releaseBeforeMove ? Qt::MouseButtons() : Qt::MouseButtons(b);
        send(QEvent::MouseMove, grab + QPoint(10, -5), Qt::NoButton, held);
        send(QEvent::MouseMove, grab + QPoint(30, -20), Qt::NoButton, held);
        QCOMPARE(window.pos() - start, shift);
        send(QEvent::MouseButtonRelease, grab + QPoint(30, -20), b, Qt::NoButton);
        QVERIFY(!drag->isDragging());
    }

    void aboutBoxIsModalAndCloses() {
        TrayMenu menu;
        QString title;
        bool modal = false;
        whileModal([&] {
            auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            title = box->windowTitle();
            modal = box->isModal() || box->windowModality() != Qt::NonModal;
            box->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
        });
        menu.actionByText(QStringLiteral("关于我们"))->trigger();
        QCOMPARE(title, QStringLiteral("关于我们"));
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    std::unique_ptr<TempWorkDir> m_dir;
};

QTEST_MAIN(TestShellMainWindow)
#include "tst_shell_mainwindow.moc"

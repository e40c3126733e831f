#include "widgets/draghelper.h"
#include "settings/setdatadialog.h"
#include "settings/settingmain.h"
#include "shell/aboutdialog.h"
#include "shell/floatwidget.h"
#include "shell/mainwindow.h"
#include "shell/traymenu.h"
#include "hubpages.h"
#include "testsupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace testsupport;

namespace {

// The hub's buttons drawn as the chosen one; every other one is drawn as an idle one.
QList<int> highlighted(const SettingMain& hub) {
    QList<int> out;
    for (int i = 1; i <= 7; ++i) {
        if (drawnAsChosen(hubButton(hub, i))) {
            out.append(i);
        }
    }
    return out;
}

// Stands in for the desktop's file manager: notes the addresses it is handed.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

}  // namespace

class TestShellMenus : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<TempWorkDir>();
        m_serial = std::make_unique<IdleSerialLine>();
    }
    void cleanup() {
        m_serial.reset();
        m_dir.reset();
    }

    void hubHighlightsExactlyTheChosenButton_data() {
        QTest::addColumn<int>("type");
        for (int type : {1, 2, 3, 4, 5, 6, 7}) {
            QTest::newRow(QByteArray::number(type)) << type;
        }
    }
    void hubHighlightsExactlyTheChosenButton() {
        QFETCH(int, type);
        SettingMain hub(till());
        hubButton(hub, 6)->click();
        hubButton(hub, type)->click();
        QCOMPARE(highlighted(hub), QList<int>{type});
        QCOMPARE(hubPageShown(hub), type);
    }

    // The entries in order; the seven settings entries open the hub's pages 1 to 7.
    void trayMenuEntriesAndPageNumbers() {
        TrayMenu menu(till().settings());
        QSignalSpy spy(&menu, &TrayMenu::doSetting);
        QStringList texts;
        const auto actions = menu.actions();
        for (QAction* a : actions) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            if (texts.size() <= 7) {
                a->trigger();
                QCOMPARE(settingsPageNumber(spy.last().first().value<SettingsPage>()), texts.size());
            }
        }
        QCOMPARE(texts, QStringList({"客显设置", "其他设置", "密码设置", "退款密码修改", "设置忘记退款密码", "收款设置",
                                     "退款设置", "-", "显示主面板", "-", "官方网站", "关于我们", "打开日志文件夹", "-",
                                     "退出"}));
    }

    // 打开日志文件夹, in the tray menu and on 其他设置, hands the log's folder (beside data.ini) to the desktop.
    void logFolderGoesToTheDesktop_data() {
        QTest::addColumn<bool>("fromTray");
        QTest::newRow("tray menu") << true;
        QTest::newRow("其他设置") << false;
    }
    void logFolderGoesToTheDesktop() {
        QFETCH(bool, fromTray);
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        if (fromTray) {
            TrayMenu menu(till().settings());
            menu.actionByText(QStringLiteral("打开日志文件夹"))->trigger();
        } else {
            QWidget host;
            SetDataDialog page(till().session(), till().settings(), &host);
            QPushButton* button = page.findChild<QPushButton*>(QStringLiteral("pushButton_logs"));
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        const QString expected = QDir(m_dir->path()).filePath(QStringLiteral("logs"));
        QCOMPARE(recorder.urls, QList<QUrl>{QUrl::fromLocalFile(expected)});
        // There to be opened, and private, even before the log has written to it.
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(QFile::permissions(expected) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
    }

    void floatingIconMenuOpensHubAndQuitsOwner() {
        SettingMain hub(till());
        MainWindow w(till(), [&hub](SettingsPage page) { hub.open(page); });
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
            typeSeen = hubPageShown(hub);
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
        TrayMenu menu(till().settings());
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
    std::unique_ptr<IdleSerialLine> m_serial;
};

QTEST_MAIN(TestShellMenus)
#include "tst_shell_menus.moc"

// The serial settings page 客显设置 and how it takes the bridge's ports from their owner and gives them back.
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "core/posbridge.h"
#include "settings/setcomdia.h"
#include "settings/settingmain.h"
#include "hubpages.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QtTest>

using namespace testsupport;

namespace {

// Stands in for the main window: runs the till's bridge and counts how often the page closes and re-opens its ports.
struct FakeOwner : QObject {
    FakeOwner() {
        PosBridge& pos = till().pos();
        pos.start();
        connect(&pos, &PosBridge::opened, this, [this] {
            ++opened;
            if (onOpen) {
                onOpen();
            }
        });
        connect(&pos, &PosBridge::closed, this, [this] { ++closed; });
    }
    ~FakeOwner() override { till().pos().stop(); }
    int opened = 0;
    int closed = 0;
    std::function<void()> onOpen;
};

void choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
}

}  // namespace

class TestSettingsSerial : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TempWorkDir>(); }
    void cleanup() { m_dir.reset(); }

    void showsTheStoredChoices_data() {
        QTest::addColumn<int>("softPort");
        QTest::addColumn<int>("showPort");
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("display");
        QTest::addColumn<QString>("baudText");
        QTest::newRow("defaults") << 9 << 2 << 9600 << false << "9600";
        QTest::newRow("COM3, 2400, display") << 3 << 1 << 2400 << true << "2400";
        QTest::newRow("4800") << 1 << 9 << 4800 << false << "4800";
        QTest::newRow("14400") << 5 << 5 << 14400 << true << "14400";
        QTest::newRow("19200") << 2 << 3 << 19200 << false << "19200";
        QTest::newRow("a rate not offered shows 19200") << 4 << 4 << 115200 << false << "19200";
    }
    void showsTheStoredChoices() {
        QFETCH(int, softPort);
        QFETCH(int, showPort);
        QFETCH(int, baud);
        QFETCH(bool, display);
        QFETCH(QString, baudText);
        till().record().softPortNo = softPort;
        till().record().showPortNo = showPort;
        till().record().baudRate = baud;
        till().record().showEnabled = display ? 1 : 0;
        SetComDia page(till(), nullptr);
        QCOMPARE(page.softPortBox()->count(), 9);
        QCOMPARE(page.softPortBox()->itemText(0), QStringLiteral("COM1"));
        QCOMPARE(page.showPortBox()->itemText(8), QStringLiteral("COM9"));
        QCOMPARE(page.softPortBox()->currentText(), QStringLiteral("COM%1").arg(softPort));
        QCOMPARE(page.showPortBox()->currentText(), QStringLiteral("COM%1").arg(showPort));
        QCOMPARE(page.baudBox()->currentText(), baudText);
        QCOMPARE(page.findChild<QCheckBox*>(QStringLiteral("chbKX"))->isChecked(), display);
    }

    void saveWithThePosPortMissingChangesNothing() {
        QVERIFY(till().saveRecord());
        const QByteArray before = fileBytes(m_dir->file(QStringLiteral("app.config")));
        till().settings().setSerialDevice(QStringLiteral("COM3"), QStringLiteral("/dev/nonexistent-pos"));
        FakeOwner owner;
        MessageBoxWatcher boxes;
        {
            SetComDia page(till(), nullptr);
            QCOMPARE(owner.closed, 1);
            choose(page.softPortBox(), QStringLiteral("COM3"));
            choose(page.baudBox(), QStringLiteral("2400"));
            page.findChild<QCheckBox*>(QStringLiteral("chbKX"))->setChecked(true);
            page.findChild<QPushButton*>(QStringLiteral("btn2"))->click();
            QVERIFY(boxes.waitForBoxes(1));
            QCOMPARE(boxes.last().icon, QMessageBox::Critical);
            QCOMPARE(boxes.last().title, QStringLiteral("提示信息"));
            QCOMPARE(boxes.last().text, QStringLiteral("软件串口不可用"));
            QCOMPARE(fileBytes(m_dir->file(QStringLiteral("app.config"))), before);
            QCOMPARE(till().record().toBytes(), ComConfig().toBytes());
            QCOMPARE(owner.opened, 0);
        }
        // The page went without a save: the owner opens its ports again from what is stored.
        QTRY_COMPARE(owner.opened, 1);
        QCOMPARE(boxes.count(), 1);
    }

    void saveStoresTheChoicesAndReopensThePorts_data() {
        QTest::addColumn<bool>("display");
        QTest::addColumn<bool>("displayThere");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("display on") << true << true << QStringList{"客显串口可用", "设置成功"};
        QTest::newRow("display port missing still saves") << true << false << QStringList{"客显串口不可用", "设置成功"};
        QTest::newRow("display off: its port is not tried") << false << false << QStringList{"设置成功"};
    }
    void saveStoresTheChoicesAndReopensThePorts() {
        QFETCH(bool, display);
        QFETCH(bool, displayThere);
        QFETCH(QStringList, texts);
        PtyLine pos;
        PtyLine shown;
        till().settings().setSerialDevice(QStringLiteral("COM4"), pos.device());
        till().settings().setSerialDevice(QStringLiteral("COM6"),
                                          displayThere ? shown.device() : QStringLiteral("/dev/nonexistent-display"));
        FakeOwner owner;
        MessageBoxWatcher boxes;
        SetComDia page(till(), nullptr);
        choose(page.softPortBox(), QStringLiteral("COM4"));
        choose(page.showPortBox(), QStringLiteral("COM6"));
        choose(page.baudBox(), QStringLiteral("4800"));
        page.findChild<QCheckBox*>(QStringLiteral("chbKX"))->setChecked(display);
        int boxesBeforeOpen = -1;
        owner.onOpen = [&] { boxesBeforeOpen = boxes.count(); };
        page.findChild<QPushButton*>(QStringLiteral("btn2"))->click();
        QVERIFY(boxes.waitForBoxes(texts.size()));
        QCOMPARE(boxes.count(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(boxes.boxes().at(i).text, texts.at(i));
            QCOMPARE(boxes.boxes().at(i).icon,
                     texts.at(i).contains(QStringLiteral("不可用")) ? QMessageBox::Critical : QMessageBox::Information);
        }
        // The ports are open again before the cashier reads "设置成功".
        QCOMPARE(owner.opened, 1);
        QCOMPARE(boxesBeforeOpen, texts.size() - 1);

        const ComConfig stored = ComConfig::fromBytes(fileBytes(m_dir->file(QStringLiteral("app.config"))));
        QCOMPARE(stored.softPortNo, 4);
        QCOMPARE(stored.showPortNo, 6);
        QCOMPARE(stored.baudRate, 4800);
        QCOMPARE(int(stored.showEnabled), display ? 1 : 0);
        QCOMPARE(till().record().toBytes(), stored.toBytes());
    }

    void testTriesBothPortsInTurn() {
        PtyLine line;
        till().settings().setSerialDevice(QStringLiteral("COM7"), line.device());
        till().record().softPortNo = 7;
        till().record().showPortNo = 7;
        FakeOwner owner;
        MessageBoxWatcher boxes;
        SetComDia page(till(), nullptr);
        page.findChild<QCheckBox*>(QStringLiteral("chbKX"))->setChecked(true);
        page.findChild<QPushButton*>(QStringLiteral("btn1"))->click();
        QVERIFY(boxes.waitForBoxes(2));
        QCOMPARE(boxes.boxes().at(0).text, QStringLiteral("软件串口可用"));
        QCOMPARE(boxes.boxes().at(1).text, QStringLiteral("客显串口可用"));
        // A test stores nothing, in the file or in memory.
        QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("app.config"))) ||
                fileBytes(m_dir->file(QStringLiteral("app.config"))).isEmpty());
        QCOMPARE(int(till().record().showEnabled), 0);
        QCOMPARE(owner.opened, 0);
    }

    void leavingThePageUnsavedGivesThePortsBack() {
        FakeOwner owner;
        MessageBoxWatcher boxes;
        SettingMain hub(till());
        hub.show();
        hubButton(hub, 1)->click();
        QCOMPARE(owner.closed, 1);
        QVERIFY(qobject_cast<SetComDia*>(hub.currentPage()));
        // Another page of the hub.
        hubButton(hub, 2)->click();
        QTRY_COMPARE(owner.opened, 1);
        // Back on the page, then the hub is closed: the page stays, hidden, but is done with the ports.
        hubButton(hub, 1)->click();
        QCOMPARE(owner.closed, 2);
        hub.findChild<QPushButton*>(QStringLiteral("close_btn"))->click();
        QTRY_COMPARE(owner.opened, 2);
        QVERIFY(waitForQueuedWork());  // the ports are given back on a queued call: none is still due
        QCOMPARE(owner.opened, 2);
        QCOMPARE(owner.closed, 2);
        // Opening the hub again builds the page afresh, which takes the ports once more.
        hubButton(hub, 1)->click();
        hub.show();
        QCOMPARE(owner.closed, 3);
        QVERIFY(waitForQueuedWork());
        QCOMPARE(owner.opened, 2);
    }

private:
    std::unique_ptr<TempWorkDir> m_dir;
};

QTEST_MAIN(TestSettingsSerial)
#include "tst_settings_serial.moc"

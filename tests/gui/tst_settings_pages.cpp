// Settings pages of the hub, offscreen.
#include "app/dataconfig.h"
#include "settings/setdatadialog.h"
#include "settings/settingmain.h"
#include "app/usersession.h"
#include "hubpages.h"
#include "testsupport.h"

#include <QComboBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QtTest>

using namespace testsupport;

namespace {

Shop shop(const char* id, const char* mainName, const char* branch) {
    return Shop{QString::fromUtf8(id), QString::fromUtf8(mainName), QString::fromUtf8(branch)};
}

QComboBox* box(QWidget& page, const char* name) {
    return page.findChild<QComboBox*>(QString::fromLatin1(name));
}

void fillSession() {
    till().session().insertShop(0, shop("1", "岚舟演示商户", "西湖店"));
    till().session().insertShop(1, shop("2", "岚舟演示商户", ""));
    till().session().setCurrentShop(till().session().shopAt(0));
}

}  // namespace

class TestSettingsPages : public QObject {
    Q_OBJECT
private slots:
    void otherSettingsShowsTheStoredChoices_data() {
        QTest::addColumn<QString>("shopName");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("check");
        QTest::addColumn<int>("checkUpdata");
        QTest::addColumn<int>("shopIndex");
        QTest::addColumn<int>("autoIndex");
        QTest::addColumn<int>("updataIndex");
        QTest::newRow("fresh") << ""
                               << ""
                               << "" << 0 << 0 << 0 << 0;
        QTest::newRow("second store, autostart, no update check")
            << QStringLiteral("岚舟演示商户  ") << QStringLiteral("不打印小票") << "1" << 1 << 1 << 1 << 1;
        QTest::newRow("printer that is gone") << ""
                                              << "GonePrinter"
                                              << "0" << 0 << 0 << 0 << 0;
    }
    void otherSettingsShowsTheStoredChoices() {
        QFETCH(QString, shopName);
        QFETCH(QString, printer);
        QFETCH(QString, check);
        QFETCH(int, checkUpdata);
        QFETCH(int, shopIndex);
        QFETCH(int, autoIndex);
        QFETCH(int, updataIndex);
        TempWorkDir dir;
        fillSession();
        till().settings().setShopName(shopName);
        till().settings().setPrinterName(printer);
        if (!check.isEmpty()) {
            till().settings().setCheck(check);
        }
        till().settings().setCheckUpdata(checkUpdata);
        QWidget host;
        SetDataDialog page(till().session(), till().settings(), &host);
        QStringList printers{QStringLiteral("不打印小票")};
        printers += QPrinterInfo::availablePrinterNames();
        QStringList shown;
        for (int i = 0; i < box(page, "comboBox_printer")->count(); ++i) {
            shown << box(page, "comboBox_printer")->itemText(i);
        }
        QCOMPARE(shown, printers);
        // "不打印小票" stays chosen unless the stored printer is one of the system's.
        QCOMPARE(box(page, "comboBox_printer")->currentIndex(), 0);
        QCOMPARE(box(page, "comboBox")->count(), 2);
        QCOMPARE(box(page, "comboBox")->itemText(1), QStringLiteral("岚舟演示商户  "));
        QCOMPARE(box(page, "comboBox")->currentIndex(), shopIndex);
        QCOMPARE(box(page, "comboBox_auto")->currentIndex(), autoIndex);
        QCOMPARE(box(page, "comboBox_updata")->currentIndex(), updataIndex);
    }

    void otherSettingsAppliesAllFourChoices() {
        TempWorkDir dir;
        MessageBoxWatcher boxes;
        fillSession();
        QWidget host;
        SetDataDialog page(till().session(), till().settings(), &host);
        box(page, "comboBox")->setCurrentIndex(1);
        box(page, "comboBox_auto")->setCurrentIndex(1);
        box(page, "comboBox_updata")->setCurrentIndex(1);
        page.findChild<QPushButton*>(QStringLiteral("pushButton_sure"))->click();
        QVERIFY(boxes.waitForBoxes(1));
        // Good news carries the information icon, not an error cross.
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        QCOMPARE(boxes.last().title, QStringLiteral("温馨提示"));
        QCOMPARE(boxes.last().text, QStringLiteral("操作成功"));
        // The next charge goes out for the store chosen here.
        QCOMPARE(till().session().shopId(), QStringLiteral("2"));
        restartTill();
        QCOMPARE(till().settings().shopName(), QStringLiteral("岚舟演示商户  "));
        QCOMPARE(till().settings().printerName(), QStringLiteral("不打印小票"));
        QCOMPARE(till().settings().check(), 1);
        QCOMPARE(till().settings().checkUpdata(), 1);
    }

    void hubBuildsThePageAfreshEachTime() {
        TempWorkDir dir;
        fillSession();
        SettingMain hub(till());
        hubButton(hub, 2)->click();
        auto* page = qobject_cast<SetDataDialog*>(hub.currentPage());
        QVERIFY(page);
        box(*page, "comboBox_auto")->setCurrentIndex(1);  // not saved
        hubButton(hub, 6)->click();
        hubButton(hub, 2)->click();
        page = qobject_cast<SetDataDialog*>(hub.currentPage());
        QVERIFY(page);
        QCOMPARE(box(*page, "comboBox_auto")->currentIndex(), 0);
    }
};

QTEST_MAIN(TestSettingsPages)
#include "tst_settings_pages.moc"

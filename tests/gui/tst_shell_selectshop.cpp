#include "app/dataconfig.h"
#include "collect/selectshopdialog.h"
#include "app/usersession.h"
#include "testsupport.h"

#include <QComboBox>
#include <QJsonObject>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace testsupport;

namespace {

QComboBox* combo(SelectShopDialog& d) {
    return d.findChild<QComboBox*>(QStringLiteral("comboBox"));
}
QPushButton* okButton(SelectShopDialog& d) {
    return d.findChild<QPushButton*>(QStringLiteral("pushButton"));
}
QPushButton* againButton(SelectShopDialog& d) {
    return d.findChild<QPushButton*>(QStringLiteral("pushButton_2"));
}

QStringList comboTexts(SelectShopDialog& d) {
    QStringList texts;
    for (int i = 0; i < combo(d)->count(); ++i) {
        texts << combo(d)->itemText(i);
    }
    return texts;
}

const QByteArray kThreeShops = R"({"content":{"listshop":[)"
                               R"({"shopid":"1","main_name":"柚屿茶馆","branch_name":"东门店"},)"
                               R"({"shopid":"2","main_name":"柚屿茶馆","branch_name":""},)"
                               R"({"shopid":"3","main_name":"Cafe","branch_name":"North"}]}})";

}  // namespace

class TestShellSelectShop : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_fixture = std::make_unique<GatewayFixture>();
        till().session().setLoginInfo(LoginInfo{QStringLiteral("tok&en"), QString(), QString(), QString(), QString()});
    }
    void cleanup() { m_fixture.reset(); }

    void requestCarriesTheToken() {
        m_stub().setReply(kThreeShops);
        SelectShopDialog d(till().stores());
        QVERIFY(m_stub().waitForBodies(1));
        const QByteArray body = m_stub().bodies().first();
        QVERIFY(body.startsWith("version=3.0&action=Account.Shop.listShop&token="));
        QVERIFY(!body.endsWith('&'));
        QCOMPARE(formValue(body, QStringLiteral("token")), QStringLiteral("tok&en"));
    }

    void storesFillTheComboAndTheSavedChoiceIsSelected_data() {
        QTest::addColumn<QString>("savedShop");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("shopid");
        QTest::newRow("nothing saved") << "" << 0 << "1";
        QTest::newRow("saved second (empty branch)") << QStringLiteral("柚屿茶馆  ") << 1 << "2";
        QTest::newRow("saved third") << QStringLiteral("Cafe  North") << 2 << "3";
        QTest::newRow("saved matches nothing") << QStringLiteral("Cafe North") << 0 << "1";
        QTest::newRow("saved is a prefix only") << QStringLiteral("柚屿茶馆") << 0 << "1";
    }
    void storesFillTheComboAndTheSavedChoiceIsSelected() {
        QFETCH(QString, savedShop);
        QFETCH(int, current);
        QFETCH(QString, shopid);
        till().settings().setShopName(savedShop);
        m_stub().setReply(kThreeShops);
        SelectShopDialog d(till().stores());
        QTRY_COMPARE(combo(d)->count(), 3);
        QCOMPARE(comboTexts(d), QStringList({QStringLiteral("柚屿茶馆  东门店"), QStringLiteral("柚屿茶馆  "),
                                             QStringLiteral("Cafe  North")}));
        QCOMPARE(combo(d)->currentIndex(), current);
        QCOMPARE(till().session().shopId(), shopid);
        QCOMPARE(till().session().shopsByIndex().size(), 3);
        QVERIFY(againButton(d)->isEnabled());
        QCOMPARE(m_boxes().count(), 0);
    }

    void failuresShowTheirMessage_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty list") << QByteArray(R"({"content":{"listshop":[]}})") << 200
                                    << QStringLiteral("你还没有门店!");
        QTest::newRow("no list") << QByteArray(R"({"content":{}})") << 200 << QStringLiteral("你还没有门店!");
        QTest::newRow("not json") << QByteArray("garbage") << 200 << QStringLiteral("获取门店失败");
        QTest::newRow("http 502") << kThreeShops << 502 << QStringLiteral("获取门店失败");
    }
    void failuresShowTheirMessage() {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(QString, text);
        m_stub().setReply(reply, status);
        SelectShopDialog d(till().stores());
        d.show();
        QVERIFY(m_boxes().waitForBoxes(1));
        QCOMPARE(m_boxes().last().icon, QMessageBox::Critical);
        QCOMPARE(m_boxes().last().title, QStringLiteral("错误提示"));
        QCOMPARE(m_boxes().last().text, text);
        QCOMPARE(combo(d)->count(), 0);
        QVERIFY(d.isVisible());
        QTRY_VERIFY(againButton(d)->isEnabled());
        QCOMPARE(till().session().currentShop(), Shop());
        // Without a store the main window never opens: Enter (the OK shortcut) does nothing.
        QSignalSpy confirmed(&d, &SelectShopDialog::shopConfirmed);
        QTest::keyClick(&d, Qt::Key_Enter, Qt::KeypadModifier);
        d.on_pushButton_clicked();
        QCOMPARE(confirmed.count(), 0);
        QVERIFY(d.isVisible());
    }

    void fetchAgainIsRefusedWhilePendingAndReplacesTheList() {
        m_stub().setHandler([](const QByteArray&) { return StubGateway::Response{200, kThreeShops, 300}; });
        const int before = m_stub().bodies().size();
        SelectShopDialog d(till().stores());
        QVERIFY(!againButton(d)->isEnabled());
        QTRY_COMPARE(combo(d)->count(), 3);
        QVERIFY(againButton(d)->isEnabled());
        combo(d)->setCurrentIndex(2);

        m_stub().setHandler([](const QByteArray&) {
            return StubGateway::Response{
                200, R"({"content":{"listshop":[{"shopid":"9","main_name":"New","branch_name":"One"}]}})", 300};
        });
        againButton(d)->click();
        QVERIFY(!againButton(d)->isEnabled());
        QCOMPARE(combo(d)->count(), 0);
        QCOMPARE(till().session().currentShop(), Shop());
        againButton(d)->click();  // disabled: no second request
        QTRY_COMPARE(combo(d)->count(), 1);
        QCOMPARE(m_stub().bodies().size(), before + 2);
        QCOMPARE(till().session().shopId(), QStringLiteral("9"));
    }

    void confirmSavesTheTextHidesAndHandsOver() {
        m_stub().setReply(kThreeShops);
        SelectShopDialog d(till().stores());
        d.show();
        QTRY_COMPARE(combo(d)->count(), 3);
        combo(d)->setCurrentIndex(1);
        QSignalSpy confirmed(&d, &SelectShopDialog::shopConfirmed);
        bool hiddenWhenSignalled = false;
        QString savedWhenSignalled;
        connect(&d, &SelectShopDialog::shopConfirmed, this, [&] {
            hiddenWhenSignalled = !d.isVisible();
            savedWhenSignalled = till().settings().shopName();
        });
        okButton(d)->click();
        QCOMPARE(confirmed.count(), 1);
        QVERIFY(hiddenWhenSignalled);
        QCOMPARE(savedWhenSignalled, QStringLiteral("柚屿茶馆  "));
        QCOMPARE(till().session().shopId(), QStringLiteral("2"));
        restartTill();
        QCOMPARE(till().settings().shopName(), QStringLiteral("柚屿茶馆  "));
    }

    void escapeKeepsTheDialogOpen() {
        m_stub().setReply(kThreeShops);
        SelectShopDialog d(till().stores());
        d.show();
        QTRY_COMPARE(combo(d)->count(), 3);
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(d.isVisible());
    }

private:
    StubGateway& m_stub() { return m_fixture->stub; }
    MessageBoxWatcher& m_boxes() { return m_fixture->boxes; }
    std::unique_ptr<GatewayFixture> m_fixture;
};

QTEST_MAIN(TestShellSelectShop)
#include "tst_shell_selectshop.moc"

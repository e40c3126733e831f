// The serial amount bridge with real processes: socat joins pseudo-terminals into a POS line and a display line,
// the client signs in at the sandbox gateway, and the amount the "POS" writes is what the gateway is charged.
#include "app/comconfig.h"
#include "e2edriver.h"
#include "testsupport.h"

#include <QFile>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

// ESC Q A 12.50 CR: show 12.50 on the pole display.
const QByteArray kTotal = QByteArray::fromHex("1b514131322e35300d");

QByteArray appConfig(bool display, int showPort) {
    ComConfig c;
    c.softPortNo = 9;
    c.showPortNo = showPort;
    c.showEnabled = display ? 1 : 0;
    return c.toBytes();
}

// The settings hub: the visible window of that title which is not the main window.
QString hubWindow() {
    QString hub;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList ids = visibleWindows(QStringLiteral("柚屿智付"));
            for (const QString& id : ids) {
                if (geometry(id).size() == QSize(700, 460)) {
                    hub = id;
                }
            }
            return !hub.isEmpty();
        },
        5000);
    return hub;
}

// Answers the message boxes that come up one after the other, with Return; returns how many there were.
int answerBoxes(int atMost) {
    QString last;
    int seen = 0;
    while (seen < atMost) {
        QString box;
        const bool shown = QTest::qWaitFor(
            [&] {
                const QStringList ids = visibleWindows(QStringLiteral("提示信息"));
                box = ids.isEmpty() ? QString() : ids.first();
                return !box.isEmpty() && box != last;
            },
            seen == 0 ? 5000 : 2000);
        if (!shown) {
            break;
        }
        key(QStringLiteral("Return"));
        waitForHidden(QStringLiteral("提示信息"), 2000);
        last = box;
        ++seen;
    }
    return seen;
}

// Picks an entry of a combo box on screen: opens its list and moves there with the keyboard. The list is a window
// of its own that holds the keyboard and pointer while it is open.
void pickEntry(const QString& window, int x, int y, const QStringList& keys) {
    const int before = clientWindows().size();
    clickAt(window, x, y);
    QVERIFY2(QTest::qWaitFor([&] { return clientWindows().size() > before; }, 5000), "the list did not open");
    for (const QString& k : keys) {
        key(k);
    }
    key(QStringLiteral("Return"));
    QVERIFY2(QTest::qWaitFor([&] { return clientWindows().size() == before; }, 5000), "the list did not close");
}

// The client's serial bridge took its ports `n` times so far.
int portsTaken(Client& client) {
    return client.output().count(QStringLiteral("software port \""));
}
// The client handled `n` amount lines from the POS so far.
int amountsHandled(Client& client) {
    return client.output().count(QStringLiteral("amount from the POS:"));
}

}  // namespace

class TestSerialE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void amountArrivesAndGoesOnToTheDisplay_data();
    void amountArrivesAndGoesOnToTheDisplay();
    void hiddenWindowAltZCollectsOnce();
    void settingsPageTakesThePortsAndGivesThemBack();

private:
    // Starts a client whose COM9 is the POS line and COM2 the display line, signs in and returns the main window.
    QString startClient(std::unique_ptr<Client>& client, bool display, const QVariantMap& moreDevices = {});
    // Scans `code` in the payment-code window on screen and checks what the gateway was asked to charge.
    void scanAndCheckCharge(Client& client, const QString& code, const QString& fen);

    Sandbox m_sandbox;
    std::unique_ptr<SerialLine> m_pos;
    std::unique_ptr<SerialLine> m_display;
};

void TestSerialE2E::initTestCase() {
    if (haveDisplayAndTools({QStringLiteral("xdotool"), QStringLiteral("socat")})) {
        m_sandbox.start();
    }
}

QString TestSerialE2E::startClient(std::unique_ptr<Client>& client, bool display, const QVariantMap& moreDevices) {
    m_pos = std::make_unique<SerialLine>();
    m_display = std::make_unique<SerialLine>();
    if (!m_pos->ready() || !m_display->ready()) {
        return QString();
    }
    ClientFiles files;
    files.serialDevices = moreDevices;
    files.serialDevices.insert(QStringLiteral("COM9"), m_pos->device());
    files.serialDevices.insert(QStringLiteral("COM2"), m_display->device());
    files.appConfig = appConfig(display, 2);
    client = std::make_unique<Client>(
        m_sandbox.port(), QVariantMap{{QStringLiteral("printerName"), QStringLiteral("不打印小票")}}, files);
    signInAndChooseStore(*client);
    if (QTest::currentTestFailed()) {
        return QString();
    }
    return waitForVisible(QStringLiteral("柚屿智付"));
}

void TestSerialE2E::scanAndCheckCharge(Client& client, const QString& code, const QString& fen) {
    const QString pay = waitForVisible(QStringLiteral("扫码收款"), 5000);
    QVERIFY2(!pay.isEmpty(), qPrintable(client.output().right(1000)));
    scanCode(pay, code);
    QVERIFY2(!waitForVisible(QStringLiteral("收款成功"), 10000).isEmpty(), qPrintable(client.output()));
    QList<QJsonObject> charges;
    for (const QJsonObject& c : m_sandbox.loggedRequests(QStringLiteral("Pay.Ace.scanpay"))) {
        const QByteArray body = c.value(QStringLiteral("body")).toString().toUtf8();
        if (testsupport::formValue(body, QStringLiteral("auth_code")) == code) {
            charges.append(c);
        }
    }
    QCOMPARE(charges.size(), 1);
    QCOMPARE(testsupport::formValue(charges.first().value(QStringLiteral("body")).toString().toUtf8(),
                                    QStringLiteral("money")),
             fen);
}

void TestSerialE2E::amountArrivesAndGoesOnToTheDisplay_data() {
    QTest::addColumn<bool>("display");
    QTest::addColumn<QString>("code");
    QTest::newRow("display on: the bytes go on unchanged") << true << "280000000000090101";
    QTest::newRow("display off: nothing is forwarded") << false << "280000000000090102";
}

void TestSerialE2E::amountArrivesAndGoesOnToTheDisplay() {
    QFETCH(bool, display);
    QFETCH(QString, code);
    std::unique_ptr<Client> client;
    const QString main = startClient(client, display);
    QVERIFY2(!main.isEmpty(), client ? qPrintable(client->output()) : "no serial lines (socat)");

    const int handled = amountsHandled(*client);
    QVERIFY(m_pos->write(kTotal));
    if (display) {
        QCOMPARE(m_display->read(3000, kTotal.size()), kTotal);
    }
    // The bytes go on as they arrive, before the amount is read from them: once it is, nothing more follows.
    QVERIFY2(client->waitForOutput(QStringLiteral("amount from the POS:"), handled + 1), qPrintable(client->output()));
    QCOMPARE(m_display->read(300), QByteArray());
    // The amount page came up with 12.50: collecting it charges 1250 fen.
    pointAt(main, 400, 500);
    key(QStringLiteral("Return"));
    scanAndCheckCharge(*client, code, QStringLiteral("1250"));
    QVERIFY2(!client->output().contains(QStringLiteral("cannot be opened")), qPrintable(client->output()));
}

void TestSerialE2E::hiddenWindowAltZCollectsOnce() {
    std::unique_ptr<Client> client;
    const QString main = startClient(client, false);
    QVERIFY2(!main.isEmpty(), client ? qPrintable(client->output()) : "no serial lines (socat)");
    pointAt(main, 400, 300);
    key(QStringLiteral("Escape"));
    QVERIFY(waitForHidden(QStringLiteral("柚屿智付")));

    const int handled = amountsHandled(*client);
    QVERIFY(m_pos->write(kTotal));
    QVERIFY2(client->waitForOutput(QStringLiteral("amount from the POS:"), handled + 1), qPrintable(client->output()));
    QVERIFY(visibleWindows(QStringLiteral("扫码收款")).isEmpty());
    key(QStringLiteral("alt+z"));
    const QString pay = waitForVisible(QStringLiteral("扫码收款"), 5000);
    QVERIFY2(!pay.isEmpty(), qPrintable(client->output()));
    // Alt+Z again, then the scan: the keys reach the client in that order, so once the sale is done the second
    // Alt+Z has been handled. A second payment window would still be on screen.
    key(QStringLiteral("alt+z"));
    scanAndCheckCharge(*client, QStringLiteral("280000000000090201"), QStringLiteral("1250"));
    QCOMPARE(visibleWindows(QStringLiteral("扫码收款")), QStringList());
}

void TestSerialE2E::settingsPageTakesThePortsAndGivesThemBack() {
    std::unique_ptr<Client> client;
    const QString main = startClient(client, true, {{QStringLiteral("COM3"), QStringLiteral("/nonexistent/pos-port")}});
    QVERIFY2(!main.isEmpty(), client ? qPrintable(client->output()) : "no serial lines (socat)");
    const QByteArray stored = testsupport::fileBytes(client->path(QStringLiteral("app.config")));

    // The set button opens the hub on 其他设置; 客显设置 is its first button.
    clickAt(main, 707, 21);
    QString hub = hubWindow();
    QVERIFY(!hub.isEmpty());
    clickAt(hub, 80, 78);

    // The POS port the cashier chose cannot be opened: one box, and app.config stays as it was.
    pickEntry(hub, 430, 107, {QStringLiteral("Home"), QStringLiteral("Down"), QStringLiteral("Down")});
    clickAt(hub, 510, 372);
    QCOMPARE(answerBoxes(3), 1);
    QCOMPARE(testsupport::fileBytes(client->path(QStringLiteral("app.config"))), stored);

    // Another page without saving: the bridge is back on the stored ports at once.
    const int taken = portsTaken(*client);
    clickAt(hub, 80, 126);
    QVERIFY2(client->waitForOutput(QStringLiteral("software port \""), taken + 1), qPrintable(client->output()));
    QVERIFY(m_pos->write(kTotal));
    QCOMPARE(m_display->read(3000, kTotal.size()), kTotal);
    clickAt(hub, 679, 20);
    QVERIFY(QTest::qWaitFor([] { return visibleWindows(QStringLiteral("柚屿智付")).size() == 1; }, 3000));

    // The same port for both: the page finds each usable in turn, the main window then cannot open the display.
    clickAt(main, 707, 21);
    hub = hubWindow();
    QVERIFY(!hub.isEmpty());
    clickAt(hub, 80, 78);
    pickEntry(hub, 430, 267, {QStringLiteral("End")});
    clickAt(hub, 510, 372);
    // 客显串口可用, then the main window's 客显串口不可用，请重新设置串口, then 设置成功.
    QCOMPARE(answerBoxes(4), 3);
    QVERIFY2(client->output().contains(QStringLiteral("display port \"COM9\"")), qPrintable(client->output()));
    const ComConfig saved = ComConfig::fromBytes(testsupport::fileBytes(client->path(QStringLiteral("app.config"))));
    QCOMPARE(saved.softPortNo, 9);
    QCOMPARE(saved.showPortNo, 9);
    QCOMPARE(int(saved.showEnabled), 1);
    clickAt(hub, 679, 20);
    QVERIFY(QTest::qWaitFor([] { return visibleWindows(QStringLiteral("柚屿智付")).size() == 1; }, 3000));

    // Amounts still arrive; nothing goes to the display that could not be opened.
    const int handled = amountsHandled(*client);
    QVERIFY(m_pos->write(QByteArray("\x1bQA7.70\r")));
    QVERIFY2(client->waitForOutput(QStringLiteral("amount from the POS:"), handled + 1), qPrintable(client->output()));
    QCOMPARE(m_display->read(300), QByteArray());
    // The keyboard went with the boxes; a click on the window's header gives it back, as a cashier would.
    clickAt(main, 400, 170);
    key(QStringLiteral("Return"));
    scanAndCheckCharge(*client, QStringLiteral("280000000000090301"), QStringLiteral("770"));
}

QTEST_GUILESS_MAIN(TestSerialE2E)
#include "tst_serial_e2e.moc"

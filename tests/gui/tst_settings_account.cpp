// The hub's account pages, offscreen: the login password change (page 3) and the collection settings (page 6).
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/replies.h"
#include "settings/modifypwddialog.h"
#include "settings/setshoukuan.h"
#include "settings/settingmain.h"
#include "hubpages.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QValidator>
#include <QtTest>

using namespace testsupport;

namespace {

QLineEdit* field(QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QString::fromLatin1(name));
}

QPushButton* okButton(QWidget& page) {
    return page.findChild<QPushButton*>(QStringLiteral("btnOk"));
}

void fill(QWidget& page, const QString& old, const QString& pwd, const QString& again) {
    field(page, "txtOldPwd")->setText(old);
    field(page, "txtPwd")->setText(pwd);
    field(page, "txtPwd1")->setText(again);
}

// demo signed in with demo123, as the login window leaves data.ini.
void signedIn() {
    till().session().setLoginInfo(
        LoginInfo{QStringLiteral("tk-7"), QString(), QStringLiteral("demo"), QStringLiteral("张三"), QString()});
    till().settings().saveLogin(QStringLiteral("demo"), QStringLiteral("demo123"), false);
}

const QByteArray kAccepted = R"({"code":1,"msg":"成功","content":{"code":1,"msg":"修改成功"}})";

}  // namespace

class TestSettingsAccount : public QObject {
    Q_OBJECT

private slots:
    void acceptedBy_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("envelope code 1") << kAccepted << true;
        QTest::newRow("envelope code 0") << QByteArray(R"({"code":0,"content":{"code":0,"msg":"两次密码不一致"}})")
                                         << false;
        QTest::newRow("envelope refuses, content says 1") << QByteArray(R"({"code":2,"content":{"code":1}})") << false;
        QTest::newRow("no envelope code: content decides")
            << QByteArray(R"({"content":{"code":1,"msg":"ok"}})") << true;
        QTest::newRow("code as text") << QByteArray(R"({"code":"1","content":{"code":"1"}})") << false;
        QTest::newRow("nothing") << QByteArray("{}") << false;
    }
    void acceptedBy() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, accepted);
        QCOMPARE(replies::passwordChange(gateway::readReply(HttpFun::Ending::Answered, 200, true, reply)).ok(),
                 accepted);
    }

    // The page's checks, in order, against the digest the login stored.
    void pageChecksInOrder_data() {
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("pwd");
        QTest::addColumn<QString>("again");
        QTest::addColumn<QString>("refusal");  // empty: the change is sent
        QTest::newRow("wrong current, bad new") << "demo124"
                                                << "abc"
                                                << "x"
                                                << "请输入正确的原密码";
        // Empty: the stored digest's own text is typed as the current password.
        QTest::newRow("the digest's text is not the password") << QString() << "abc123"
                                                               << "abc123"
                                                               << "请输入正确的原密码";
        QTest::newRow("five characters") << "demo123"
                                         << "abc12"
                                         << "abc12"
                                         << "请输入新密码，至少6位";
        QTest::newRow("differing repetition") << "demo123"
                                              << "abc123"
                                              << "abc321"
                                              << "两次密码不一致";
        QTest::newRow("six characters sent") << "demo123"
                                             << "abc123"
                                             << "abc123"
                                             << "";
    }
    void pageChecksInOrder() {
        QFETCH(QString, old);
        QFETCH(QString, pwd);
        QFETCH(QString, again);
        QFETCH(QString, refusal);
        GatewayFixture f;
        signedIn();
        if (old.isEmpty()) {
            old = till().settings().savedLogin().value(1);
            QVERIFY(isPasswordDigest(old));
        }
        f.stub.setReply(kAccepted);
        QWidget host;
        ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
        QCOMPARE(page.findChild<QLabel*>("lblzh")->text(), QString("demo"));
        fill(page, old, pwd, again);
        QTest::mouseClick(okButton(page), Qt::LeftButton);
        if (!refusal.isEmpty()) {
            QCOMPARE(f.boxes.count(), 1);
            QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
            QCOMPARE(f.boxes.last().title, QString("温馨提示"));
            QCOMPARE(f.boxes.last().text, refusal);
            QVERIFY(f.stub.roundTrip());
            QVERIFY(f.stub.bodies().isEmpty());
            return;
        }
        QVERIFY(f.stub.waitForBodies(1));
        const QByteArray body = f.stub.bodies().first();
        QCOMPARE(formValue(body, "action"), QString("Share.Ace.editPassword"));
        QCOMPARE(formValue(body, "token"), QString("tk-7"));
        QCOMPARE(formValue(body, "uname"), QString("demo"));
        QCOMPARE(formValue(body, "pword"), pwd);
        QCOMPARE(formValue(body, "re_password"), again);
        QVERIFY(!body.contains("demo123"));  // the current password stays on this machine
    }

    void acceptedChangeStoresTheNewDigest() {
        GatewayFixture f;
        signedIn();
        f.stub.setReply(kAccepted);
        {
            QWidget host;
            ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
            fill(page, "demo123", "abc123", "abc123");
            QTest::mouseClick(okButton(page), Qt::LeftButton);
            QVERIFY(f.boxes.waitForBoxes(1));
            QCOMPARE(f.boxes.last().icon, QMessageBox::Information);
            QCOMPARE(f.boxes.last().text, QString("修改成功"));
            QVERIFY(okButton(page)->isEnabled());
            // The same page now takes the new password as the current one, and refuses the old.
            fill(page, "demo123", "demo123", "demo123");
            QTest::mouseClick(okButton(page), Qt::LeftButton);
            QCOMPARE(f.boxes.last().text, QString("请输入正确的原密码"));
        }
        restartTill();
        QVERIFY(till().settings().verifyLoginPassword("abc123"));
        QVERIFY(!till().settings().verifyLoginPassword("demo123"));
        QCOMPARE(till().settings().savedLogin().value(0), QString("demo"));
        QVERIFY(!till().settings().savedLogin().value(1).contains("abc123"));
    }

    void refusedAndLostChanges_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused: the gateway's words")
            << 200 << QByteArray(R"({"code":0,"content":{"code":0,"msg":"密码只能包含字母和数字"}})")
            << "密码只能包含字母和数字";
        QTest::newRow("refused without words") << 200 << QByteArray(R"({"code":0})") << "修改密码失败";
        QTest::newRow("server error") << 502 << QByteArray("bad gateway") << "修改密码失败，请检查网络设置";
        QTest::newRow("not JSON") << 200 << QByteArray("<html>") << "修改密码失败，请检查网络设置";
    }
    void refusedAndLostChanges() {
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        GatewayFixture f;
        signedIn();
        f.stub.setReply(reply, status);
        QWidget host;
        ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
        fill(page, "demo123", "abc123", "abc123");
        QTest::mouseClick(okButton(page), Qt::LeftButton);
        QVERIFY(f.boxes.waitForBoxes(1));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(f.boxes.last().text, message);
        QVERIFY(okButton(page)->isEnabled());
        QVERIFY(till().settings().verifyLoginPassword("demo123"));
    }

    void gatewayUnreachable() {
        GatewayFixture f;
        signedIn();
        // A port nobody listens on.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        till().settings().setGatewayUrl(QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(port));
        QWidget host;
        ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
        fill(page, "demo123", "abc123", "abc123");
        QTest::mouseClick(okButton(page), Qt::LeftButton);
        QVERIFY(f.boxes.waitForBoxes(1));
        QCOMPARE(f.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(f.boxes.last().text, QString("修改密码失败，请检查网络设置"));
    }

    void oneChangeAtATime() {
        GatewayFixture f;
        signedIn();
        f.stub.setHandler([](const QByteArray&) { return StubGateway::Response{200, kAccepted, 500}; });
        QWidget host;
        ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
        fill(page, "demo123", "abc123", "abc123");
        QTest::mouseClick(okButton(page), Qt::LeftButton);
        QVERIFY(!okButton(page)->isEnabled());
        QTest::mouseClick(okButton(page), Qt::LeftButton);
        page.on_btnOk_clicked();  // even when called directly
        QVERIFY(f.boxes.waitForBoxes(1));
        QCOMPARE(f.stub.bodies().size(), 1);
        QCOMPARE(f.boxes.count(), 1);
        QVERIFY(okButton(page)->isEnabled());
    }

    void passwordsTakeWhatTheLoginTakes() {
        TempWorkDir dir;
        QWidget host;
        ModifyPwdDialog page(till().passwords(), till().session().uname(), &host);
        for (const char* name : {"txtOldPwd", "txtPwd", "txtPwd1"}) {
            QLineEdit* e = field(page, name);
            QCOMPARE(e->echoMode(), QLineEdit::Password);
            QTest::keyClicks(e, QStringLiteral("ab c@1-2"));
            QCOMPARE(e->text(), QString("abc12"));
            QString chinese = QStringLiteral("密码1");
            int pos = 0;
            QCOMPARE(e->validator()->validate(chinese, pos), QValidator::Invalid);
        }
    }

    void centsPageSelectsTheModeInEffect_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("keep") << 0 << 0;
        QTest::newRow("round") << 1 << 1;
        QTest::newRow("drop") << 2 << 2;
        QTest::newRow("3 acts as keep") << 3 << 0;
        QTest::newRow("-1 acts as keep") << -1 << 0;
        QTest::newRow("garbage acts as keep") << 123456 << 0;
    }
    void centsPageSelectsTheModeInEffect() {
        QFETCH(int, stored);
        QFETCH(int, index);
        TempWorkDir dir;
        till().record().centsMode = stored;
        QWidget host;
        SetShouKuan page(till(), &host);
        QCOMPARE(page.comboBox()->count(), 3);
        QCOMPARE(page.comboBox()->currentIndex(), index);
        QCOMPARE(page.comboBox()->currentText(), page.comboBox()->itemText(till().record().centsModeInEffect()));
    }

    void centsPageSaves() {
        TempWorkDir dir;
        MessageBoxWatcher boxes;
        till().record().centsMode = 7;
        QWidget host;
        SetShouKuan page(till(), &host);
        page.comboBox()->setCurrentIndex(2);
        QTest::mouseClick(page.findChild<QPushButton*>("btn2"), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        QCOMPARE(boxes.last().title, QString("提示信息"));
        QCOMPARE(boxes.last().text, QString("设置成功"));
        QFile file(dir.file("app.config"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(ComConfig::fromBytes(file.readAll()).centsMode, 2);
    }

    void centsPageSaveFails() {
        TempWorkDir dir;
        MessageBoxWatcher boxes;
        QVERIFY(QDir(dir.path()).mkdir("app.config"));  // the file cannot be written
        QWidget host;
        SetShouKuan page(till(), &host);
        page.comboBox()->setCurrentIndex(1);
        QTest::mouseClick(page.findChild<QPushButton*>("btn2"), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(boxes.last().text, QString("系统错误，请重试"));
        // The next charge uses it all the same.
        QCOMPARE(till().record().centsMode, 1);
    }

    void hubOpensTheAccountPages() {
        TempWorkDir dir;
        SettingMain hub(till());
        hubButton(hub, 3)->click();
        QVERIFY(qobject_cast<ModifyPwdDialog*>(hub.currentPage()));
        hubButton(hub, 6)->click();
        QVERIFY(qobject_cast<SetShouKuan*>(hub.currentPage()));
        QCOMPARE(hub.currentPage()->objectName(), QString("SetShouKuan"));
    }
};

QTEST_MAIN(TestSettingsAccount)
#include "tst_settings_account.moc"

#include "app/dataconfig.h"
#include "collect/selectshopdialog.h"
#include "shell/floatwidget.h"
#include "shell/loginwidget.h"
#include "app/usersession.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QtTest>

using namespace testsupport;

namespace {

const QByteArray kShops = R"({"content":{"listshop":[{"shopid":"7","main_name":"A","branch_name":"B"}]}})";

// Answers the login with `loginReply` and the store list with one store.
void answerLogin(StubGateway& stub, const QByteArray& loginReply, int status = 200) {
    stub.setHandler([loginReply, status](const QByteArray& body) {
        if (formValue(body, QStringLiteral("action")) == QLatin1String("Share.Ace.login")) {
            return StubGateway::Response{status, loginReply, 0};
        }
        return StubGateway::Response{200, kShops, 0};
    });
}

QLineEdit* userEdit(LoginWidget& w) {
    return w.findChild<QLineEdit*>(QStringLiteral("login_user"));
}
QLineEdit* pwdEdit(LoginWidget& w) {
    return w.findChild<QLineEdit*>(QStringLiteral("login_password"));
}
QPushButton* loginButton(LoginWidget& w) {
    return w.findChild<QPushButton*>(QStringLiteral("login_btn"));
}

// Types like a keyboard: non-ASCII characters arrive as key events carrying only their text.
void typeText(QLineEdit* edit, const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(edit, ch.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &release);
        }
    }
}

// Types through an input method, as Chinese text is usually entered.
void commitText(QLineEdit* edit, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(edit, &event);
}

void typeLogin(LoginWidget& w, const QString& user, const QString& pwd) {
    userEdit(w)->setText(user);
    pwdEdit(w)->setText(pwd);
}

}  // namespace

class TestShellLogin : public QObject {
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<GatewayFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void validatorRefusesOtherThanLettersAndDigits_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("inputMethod");
        for (const char* field : {"login_user", "login_password"}) {
            const QByteArray tag(field);
            const QString f = QString::fromLatin1(field);
            QTest::newRow(tag + " space") << f << "ab c"
                                          << "abc" << false;
            QTest::newRow(tag + " at sign") << f << "demo@x"
                                            << "demox" << false;
            QTest::newRow(tag + " chinese key") << f << QStringLiteral("de中mo") << "demo" << false;
            QTest::newRow(tag + " chinese input method") << f << QStringLiteral("收银") << "" << true;
            QTest::newRow(tag + " plain") << f << "Demo123"
                                          << "Demo123" << false;
            QTest::newRow(tag + " punctuation") << f << "a-b_c.d"
                                                << "abcd" << false;
            QTest::newRow(tag + " full-width digit") << f << QStringLiteral("a１b") << "ab" << false;
        }
    }
    void validatorRefusesOtherThanLettersAndDigits() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, inputMethod);
        LoginWidget w(till());
        auto* edit = w.findChild<QLineEdit*>(field);
        QVERIFY(edit);
        edit->clear();
        if (inputMethod) {
            commitText(edit, typed);
        } else {
            typeText(edit, typed);
        }
        QCOMPARE(edit->text(), kept);
    }

    void emptyFieldsAreRefusedAndNothingIsSent_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("pwd");
        QTest::addColumn<bool>("returnInAccount");
        QTest::addColumn<QString>("text");
        QTest::newRow("both empty") << ""
                                    << "" << false << QStringLiteral("账号和密码不能为空");
        QTest::newRow("account empty") << ""
                                       << "pw" << false << QStringLiteral("账号不能为空");
        QTest::newRow("password empty") << "demo"
                                        << "" << false << QStringLiteral("密码不能为空");
        QTest::newRow("return in account, password empty") << "demo"
                                                           << "" << true << QStringLiteral("密码不能为空");
        QTest::newRow("return in the empty window") << ""
                                                    << "" << true << QStringLiteral("账号和密码不能为空");
    }
    void emptyFieldsAreRefusedAndNothingIsSent() {
        QFETCH(QString, user);
        QFETCH(QString, pwd);
        QFETCH(bool, returnInAccount);
        QFETCH(QString, text);
        LoginWidget w(till());
        typeLogin(w, user, pwd);
        if (returnInAccount) {
            QTest::keyClick(userEdit(w), Qt::Key_Return);
        } else {
            loginButton(w)->click();
        }
        QVERIFY(m_boxes().waitForBoxes(1));
        QCOMPARE(m_boxes().last().icon, QMessageBox::Critical);
        QCOMPARE(m_boxes().last().title, QStringLiteral("温馨提示"));
        QCOMPARE(m_boxes().last().text, text);
        QVERIFY(m_stub().roundTrip());
        QCOMPARE(m_stub().bodies().size(), 0);
        QVERIFY(userEdit(w)->isEnabled());
        QVERIFY(loginButton(w)->isEnabled());
    }

    void returnInPasswordSendsTheLoginBody() {
        answerLogin(m_stub(), R"({"content":{"code":0}})");
        LoginWidget w(till());
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::keyClick(pwdEdit(w), Qt::Key_Return);
        QVERIFY(m_stub().waitForBodies(1));
        QCOMPARE(m_stub().bodies().first(),
                 QByteArray("version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123"));
    }

    void waitingDisablesTheFormAndShowsTheLoadingImage() {
        m_stub().setHandler([](const QByteArray&) {
            return StubGateway::Response{200, R"({"content":{"code":0}})", 400};
        });
        LoginWidget w(till());
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("x"));
        loginButton(w)->click();
        QVERIFY(!userEdit(w)->isEnabled());
        QVERIFY(!pwdEdit(w)->isEnabled());
        QVERIFY(!loginButton(w)->isEnabled());
        QVERIFY(loginButton(w)->property("waiting").toBool());
        QVERIFY(m_boxes().waitForBoxes(1));
        QTRY_VERIFY(loginButton(w)->isEnabled());
        QVERIFY(!loginButton(w)->property("waiting").toBool());
        QVERIFY(!w.findChild<QCheckBox*>(QStringLiteral("Rem_PassWord"))->isEnabled());
    }

    void loginReplyDecidesSuccess_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tickets");
        const QString wrong = QStringLiteral("账号/密码错误");
        const QString err = QStringLiteral("错误提示");
        QTest::newRow("code 1 with tickets")
            << QByteArray(R"({"content":{"code":1,"token":"T","id":"5","ticket":[)"
                          R"({"id":"3","shopid":"7","price":"12.5","name":"成人票","status":"1"},)"
                          R"({"id":"4","shopid":"7","price":"6","name":"儿童票","status":"0"}]}})")
            << 200 << true << QString() << QString() << 2;
        QTest::newRow("code 1 without ticket")
            << QByteArray(R"({"content":{"code":1,"token":"T"}})") << 200 << true << QString() << QString() << 0;
        QTest::newRow("code as the string 1")
            << QByteArray(R"({"content":{"code":"1","token":"T"}})") << 200 << false << err << wrong << 0;
        QTest::newRow("code 0") << QByteArray(R"({"content":{"code":0}})") << 200 << false << err << wrong << 0;
        // Without a token nothing after this window could work: it is a failed login, not a stuck store dialog.
        QTest::newRow("code 1 without token")
            << QByteArray(R"({"content":{"code":1,"ticket":[]}})") << 200 << false << err << wrong << 0;
        QTest::newRow("code 1, empty token")
            << QByteArray(R"({"content":{"code":1,"token":" "}})") << 200 << false << err << wrong << 0;
        QTest::newRow("code 1, token an object")
            << QByteArray(R"({"content":{"code":1,"token":{}}})") << 200 << false << err << wrong << 0;
        QTest::newRow("code at top level only") << QByteArray(R"({"code":1})") << 200 << false << err << wrong << 0;
        // A reply that is not an envelope is the gateway's fault, not the cashier's password.
        QTest::newRow("not json") << QByteArray("<html>oops") << 200 << false << QStringLiteral("温馨提示")
                                  << QStringLiteral("登录失败,请查看网络连接") << 0;
        QTest::newRow("content is an array") << QByteArray(R"({"content":[1]})") << 200 << false << err << wrong << 0;
        QTest::newRow("http 500") << QByteArray(R"({"content":{"code":1}})") << 500 << false
                                  << QStringLiteral("温馨提示") << QStringLiteral("登录失败,请查看网络连接") << 0;
    }
    void loginReplyDecidesSuccess() {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, tickets);
        answerLogin(m_stub(), reply, status);
        LoginWidget w(till());
        w.show();
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        loginButton(w)->click();
        if (success) {
            QTRY_VERIFY(w.shopDialog());
            QVERIFY(w.shopDialog()->isVisible());
            QVERIFY(!w.isVisible());
            QCOMPARE(till().session().token(), QStringLiteral("T"));
            QCOMPARE(till().session().ticketTypes().size(), tickets);
            QVERIFY(m_stub().waitForBodies(2));
            QCOMPARE(formValue(m_stub().bodies().at(1), QStringLiteral("token")), QStringLiteral("T"));
            QCOMPARE(m_boxes().count(), 0);
        } else {
            QVERIFY(m_boxes().waitForBoxes(1));
            QCOMPARE(m_boxes().last().icon, QMessageBox::Critical);
            QCOMPARE(m_boxes().last().title, title);
            QCOMPARE(m_boxes().last().text, text);
            QVERIFY(!w.shopDialog());
            QVERIFY(w.isVisible());
            QVERIFY(till().session().ticketTypes().isEmpty());
            QTRY_VERIFY(userEdit(w)->isEnabled());
            QVERIFY(pwdEdit(w)->isEnabled());
        }
    }

    void ticketFieldsAreReadExactly() {
        answerLogin(m_stub(), R"({"content":{"code":1,"token":"T","ticket":[)"
                              R"({"id":"31","shopid":"7","price":"0.285","name":"成人票","status":"1"},)"
                              R"({"id":4,"shopid":"x","price":"abc","name":"坏票","status":"0"},)"
                              R"({"id":"5","shopid":"x","price":6,"name":"儿童票","status":"y"}]}})");
        LoginWidget w(till());
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        loginButton(w)->click();
        QTRY_COMPARE(till().session().ticketTypes().size(), 2);
        const TicketType a = till().session().ticketTypes().at(0);
        QCOMPARE(a.id, 31);
        QCOMPARE(a.priceFen, qint64(29));  // half up at the fen, without a detour through floating point
        QCOMPARE(a.name, QStringLiteral("成人票"));
        // A kind whose price is no amount is left out rather than sold for 0.
        const TicketType b = till().session().ticketTypes().at(1);
        QCOMPARE(b.name, QStringLiteral("儿童票"));
        QCOMPARE(b.id, 5);
        QCOMPARE(b.priceFen, qint64(600));
    }

    // A merchant without a store is not stuck in the store dialog: its close control leads back here, signed out.
    void storeDialogLeadsBackWithoutAStore() {
        m_stub().setHandler([](const QByteArray& body) {
            if (formValue(body, QStringLiteral("action")) == QLatin1String("Share.Ace.login")) {
                return StubGateway::Response{
                    200, R"({"content":{"code":1,"token":"T","ticket":[{"id":"1","price":"5","name":"票"}]}})", 0};
            }
            return StubGateway::Response{200, R"({"content":{"listshop":[]}})", 0};
        });
        LoginWidget w(till());
        w.show();
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        loginButton(w)->click();
        QTRY_VERIFY(w.shopDialog());
        QVERIFY(m_boxes().waitForBoxes(1));
        QCOMPARE(m_boxes().last().text, QStringLiteral("你还没有门店!"));
        QCOMPARE(till().session().ticketTypes().size(), 1);
        auto* close = w.shopDialog()->findChild<QPushButton*>(QStringLiteral("close_btn"));
        QVERIFY(close && close->isVisible());
        close->click();
        QVERIFY(w.isVisible());
        QVERIFY(!w.shopDialog());
        QVERIFY(w.trayIcon());
        QVERIFY(till().session().token().isEmpty());
        QVERIFY(till().session().ticketTypes().isEmpty());
        QVERIFY(loginButton(w)->isEnabled());
        // Signing in again works as the first time did.
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        loginButton(w)->click();
        QTRY_VERIFY(w.shopDialog());
        QCOMPARE(till().session().ticketTypes().size(), 1);
    }

    void successfulLoginRemembersAccountAndDigest() {
        answerLogin(m_stub(), R"({"content":{"code":1,"token":"T"}})");
        {
            LoginWidget w(till());
            w.show();
            typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
            loginButton(w)->click();
            QTRY_VERIFY(w.shopDialog());
            // The login stage's tray icon and floating icon are gone.
            QTRY_VERIFY(!w.trayIcon());
            QTRY_VERIFY(!w.floatWidget());
        }
        QSettings ini(m_fixture->dir.file(QStringLiteral("data.ini")), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("data_config"));
        QCOMPARE(ini.value(QStringLiteral("user")).toString(), QStringLiteral("demo"));
        const QString stored = ini.value(QStringLiteral("pwd")).toString();
        QVERIFY(stored != QLatin1String("demo123"));
        QVERIFY(!stored.contains(QLatin1String("demo123")));
        QVERIFY(isPasswordDigest(stored));
        QCOMPARE(ini.value(QStringLiteral("remPwdstatus")).toString(), QStringLiteral("false"));
        ini.endGroup();

        restartTill();
        QVERIFY(till().settings().verifyLoginPassword(QStringLiteral("demo123")));
        QVERIFY(!till().settings().verifyLoginPassword(QStringLiteral("demo124")));
        LoginWidget next(till());
        QCOMPARE(userEdit(next)->text(), QStringLiteral("demo"));
        QVERIFY(pwdEdit(next)->text().isEmpty());
    }

    void savedAccountPrefillsUnlessRememberIsTrue_data() {
        QTest::addColumn<QString>("remember");
        QTest::addColumn<QString>("shown");
        QTest::newRow("false") << "false"
                               << "cashier1";
        QTest::newRow("absent") << ""
                                << "cashier1";
        QTest::newRow("true") << "true"
                              << "";
        QTest::newRow("TRUE is not true") << "TRUE"
                                          << "cashier1";
    }
    void savedAccountPrefillsUnlessRememberIsTrue() {
        QFETCH(QString, remember);
        QFETCH(QString, shown);
        {
            QSettings ini(m_fixture->dir.file(QStringLiteral("data.ini")), QSettings::IniFormat);
            ini.setValue(QStringLiteral("data_config/user"), QStringLiteral("cashier1"));
            ini.setValue(QStringLiteral("data_config/pwd"), QStringLiteral("oldclear"));
            if (!remember.isEmpty()) {
                ini.setValue(QStringLiteral("data_config/remPwdstatus"), remember);
            }
        }
        restartTill();
        LoginWidget w(till());
        QCOMPARE(userEdit(w)->text(), shown);
        // The stored password never goes back into a field.
        QVERIFY(pwdEdit(w)->text().isEmpty());
        QVERIFY(w.findChild<QCheckBox*>(QStringLiteral("Rem_PassWord"))->isHidden());
    }

    void hidingToTrayShowsTheFloatingIcon() {
        LoginWidget w(till());
        w.show();
        QVERIFY(w.floatWidget());
        QVERIFY(!w.floatWidget()->isVisible());
        for (const char* button : {"min_btn", "close_btn"}) {
            w.findChild<QPushButton*>(QString::fromLatin1(button))->click();
            QVERIFY(!w.isVisible());
            QVERIFY(w.floatWidget()->isVisible());
            w.showWindow();
            QVERIFY(w.isVisible());
            QVERIFY(!w.floatWidget()->isVisible());
        }
        // The floating icon's own restore leaves the icon on screen.
        w.findChild<QPushButton*>(QStringLiteral("min_btn"))->click();
        w.floatWidget()->showWindow();
        QVERIFY(w.isVisible());
        QVERIFY(w.floatWidget()->isVisible());
        // A click on the login stage's tray icon does nothing.
        w.hide();
        w.onActivated(QSystemTrayIcon::Trigger);
        QVERIFY(!w.isVisible());
    }

    void versionCheck_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("title");  // of the box shown, empty for none
        QTest::addColumn<int>("answer");     // the button pressed
        QTest::addColumn<bool>("installerRuns");
        QTest::addColumn<bool>("installerThere");  // next to the program
        const int no = QMessageBox::Cancel;
        const int yes = QMessageBox::Ok;
        QTest::newRow("transport failure") << 500 << QByteArray("{}") << "版本检测" << yes << false << true;
        QTest::newRow("code 0 is silent")
            << 200 << QByteArray(R"({"content":{"code":0,"version_code":"9.9.9"}})") << "" << yes << false << true;
        QTest::newRow("same version") << 200 << QByteArray(R"({"content":{"code":1,"version_code":"3.0.1"}})") << ""
                                      << yes << false << true;
        QTest::newRow("older version") << 200 << QByteArray(R"({"content":{"code":1,"version_code":"3.0.0"}})") << ""
                                       << yes << false << true;
        QTest::newRow("version as a number")
            << 200 << QByteArray(R"({"content":{"code":1,"version_code":3.1}})") << "" << yes << false << true;
        QTest::newRow("newer, not now") << 200 << QByteArray(R"({"content":{"code":1,"version_code":"3.0.2"}})")
                                        << "版本更新" << no << false << true;
        QTest::newRow("newer, update") << 200 << QByteArray(R"({"content":{"code":1,"version_code":"3.0.10"}})")
                                       << "版本更新" << yes << true << true;
        QTest::newRow("version 10 is newer") << 200 << QByteArray(R"({"content":{"code":1,"version_code":"10.0.0"}})")
                                             << "版本更新" << yes << true << true;
        QTest::newRow("newer, update, no installer")
            << 200 << QByteArray(R"({"content":{"code":1,"version_code":"3.0.2"}})") << "版本更新" << yes << false
            << false;
    }
    void versionCheck() {
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(QString, title);
        QFETCH(int, answer);
        QFETCH(bool, installerRuns);
        QFETCH(bool, installerThere);
        // A stand-in installer next to the program that leaves a mark in the working folder when it runs; one in the
        // working folder is never started. The working folder is the test's own.
        const QString oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_fixture->dir.path()));
        const auto restoreCwd = qScopeGuard([oldCwd] { QDir::setCurrent(oldCwd); });
        const QString installDir = QCoreApplication::applicationDirPath() + QStringLiteral("/install");
        const auto removeInstaller = qScopeGuard([installDir] { QDir(installDir).removeRecursively(); });
        for (const QString& dir : {installDir, QStringLiteral("install")}) {
            if (dir == installDir && !installerThere) {
                continue;
            }
            QVERIFY(QDir().mkpath(dir));
            QFile installer(dir + QStringLiteral("/updata"));
            QVERIFY(installer.open(QIODevice::WriteOnly));
            installer.write(dir == installDir ? "#!/bin/sh\nprintf %s \"$*\" >installer-ran\n"
                                              : "#!/bin/sh\ntouch wrong-installer-ran\n");
            installer.close();
            installer.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        m_stub().setReply(reply, status);
        m_boxes().setAnswer(static_cast<QMessageBox::StandardButton>(answer));
        till().settings().setCheckUpdata(0);
        LoginWidget w(till());
        QVERIFY(m_stub().waitForBodies(1));
        QCOMPARE(m_stub().bodies().first(), QByteArray("version=3.0&action=Share.App.update&system=pc"));
        if (title.isEmpty()) {
            // The answer has come back and been read (a box would be raised then, or just after).
            QVERIFY(m_stub().waitForAnswers());
            QVERIFY(m_stub().roundTrip());
            QVERIFY(waitForQueuedWork());
            QCOMPARE(m_boxes().count(), 0);
        } else {
            QVERIFY(m_boxes().waitForBoxes(1));
            QCOMPARE(m_boxes().boxes().first().title, title);
            QCOMPARE(m_boxes().boxes().first().icon, status == 200 ? QMessageBox::Warning : QMessageBox::Critical);
            QCOMPARE(m_boxes().boxes().first().text, status == 200 ? QStringLiteral("检测到新版本，是否更新到新版本?")
                                                                   : QStringLiteral("版本检测更新失败,请检查网络设置"));
        }
        QTRY_COMPARE(QFile::exists(QStringLiteral("installer-ran")), installerRuns);
        if (installerRuns) {
            // The updater is told the version to fetch, and nothing else.
            QFile ran(QStringLiteral("installer-ran"));
            QVERIFY(ran.open(QIODevice::ReadOnly));
            QCOMPARE(
                QString::fromUtf8(ran.readAll()),
                QJsonDocument::fromJson(reply).object().value("content").toObject().value("version_code").toString());
        }
        // The installer runs to its end before the answer's handling returns, and the box that would start it has
        // been answered by now: had it run, its file would be there.
        if (!installerRuns) {
            QVERIFY(m_stub().roundTrip());
            QVERIFY(waitForQueuedWork());
            QVERIFY(!QFile::exists(QStringLiteral("installer-ran")));
        }
        QVERIFY(!QFile::exists(QStringLiteral("wrong-installer-ran")));
        // The cashier who asked for the update is told when there is nothing to run.
        const bool asked = title == QStringLiteral("版本更新") && answer == QMessageBox::Ok;
        if (asked && !installerThere) {
            QVERIFY(m_boxes().waitForBoxes(2));
            QCOMPARE(m_boxes().last().icon, QMessageBox::Warning);
            QVERIFY2(m_boxes().last().text.contains(QStringLiteral("未找到更新程序")),
                     qPrintable(m_boxes().last().text));
        } else {
            QCOMPARE(m_boxes().count(), title.isEmpty() ? 0 : 1);
        }
    }

    void cleartextGatewayIsPointedOut() {
        LoginWidget local(till());  // the fixture's gateway is on 127.0.0.1
        QVERIFY(local.findChild<QLabel*>(QStringLiteral("lblInsecure"))->isHidden());
        // Another computer over plain http (the fixture stores check_updata 1: nothing is sent there).
        till().settings().setGatewayUrl(QStringLiteral("http://192.0.2.1/api.php/Gateway/index"));
        LoginWidget remote(till());
        QVERIFY(!remote.findChild<QLabel*>(QStringLiteral("lblInsecure"))->isHidden());
    }

    // A fresh install given no address: the window says so, asks nothing at start, and the login button says where
    // the address goes.
    void noGatewayIsSaidAndNothingIsSent() {
        if (QFile::exists(till().settings().siteFile())) {
            QSKIP("this machine has a site file naming a gateway");
        }
        till().settings().setGatewayUrl(QString());
        till().settings().setCheckUpdata(0);
        LoginWidget w(till());
        QVERIFY(!w.findChild<QLabel*>(QStringLiteral("lblInsecure"))->isHidden());
        typeLogin(w, QStringLiteral("demo"), QStringLiteral("demo123"));
        loginButton(w)->click();
        QVERIFY(m_boxes().waitForBoxes(1));
        QVERIFY2(m_boxes().last().text.contains(QDir::toNativeSeparators(till().settings().siteFile())),
                 qPrintable(m_boxes().last().text));
        QVERIFY(m_stub().roundTrip());
        QCOMPARE(m_stub().bodies().size(), 0);
        QVERIFY(loginButton(w)->isEnabled());
    }

    void noVersionCheckWhenSwitchedOff() {
        LoginWidget w(till());  // the fixture stores check_updata 1
        QVERIFY(m_stub().roundTrip());
        QCOMPARE(m_stub().bodies().size(), 0);
    }

private:
    StubGateway& m_stub() { return m_fixture->stub; }
    MessageBoxWatcher& m_boxes() { return m_fixture->boxes; }
    std::unique_ptr<GatewayFixture> m_fixture;
};

QTEST_MAIN(TestShellLogin)
#include "tst_shell_login.moc"

// The hub's refund pages offscreen: 退款设置, 修改退款密码 and 忘记退款密码.
#include "app/comconfig.h"
#include "app/usersession.h"
#include "settings/modifyredundpwddialog.h"
#include "settings/setrefundpwddialog.h"
#include "settings/setreundform.h"
#include "settings/settingmain.h"
#include "hubpages.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace testsupport;

namespace {

void signIn() {
    till().session().setLoginInfo(
        LoginInfo{QStringLiteral("TOKEN1"), QString(), QStringLiteral("demo"), QStringLiteral("张三"), QString()});
}

QLineEdit* edit(QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QLatin1String(name));
}
QCheckBox* check(QWidget& page, const char* name) {
    return page.findChild<QCheckBox*>(QLatin1String(name));
}
QPushButton* okButton(QWidget& page) {
    return page.findChild<QPushButton*>(QStringLiteral("btnOk"));
}

// Answers getQuestion with `question` (or the status given) and everything else with `change`, `changeDelayMs` late.
void answer(StubGateway& stub, const QString& question, int questionStatus, const QByteArray& change,
            int changeDelayMs = 0) {
    stub.setHandler([=](const QByteArray& body) {
        StubGateway::Response r;
        if (formValue(body, QStringLiteral("action")) == QLatin1String("Share.Ace.getQuestion")) {
            r.status = questionStatus;
            r.body = QJsonDocument(QJsonObject{{"code", 1}, {"content", QJsonObject{{"refundquestion", question}}}})
                         .toJson(QJsonDocument::Compact);
        } else {
            r.body = change;
            r.delayMs = changeDelayMs;
        }
        return r;
    });
}

const QByteArray kAccepted = R"({"code":1,"content":{"code":1,"respType":"Success"}})";

}  // namespace

class TestRefundSettings : public QObject {
    Q_OBJECT

private slots:
    void refundSettingsRoundTrip_data();
    void refundSettingsRoundTrip();
    void refundSettingsUnwritable();
    void hubOpensTheRefundPages();
    void changeChecksThenSendsOnce();
    void changeTransportFailureIsShown();
    void setOrResetByTheStoredQuestion_data();
    void setOrResetByTheStoredQuestion();
    void failedQuestionQuerySendsNothing();
};

void TestRefundSettings::refundSettingsRoundTrip_data() {
    QTest::addColumn<bool>("refund");
    QTest::addColumn<bool>("cards");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    const QString fifty = QStringLiteral("手").repeated(50);
    QTest::newRow("both off, empty name") << false << false << ""
                                          << "";
    QTest::newRow("both on") << true << true << "手牌"
                             << "手牌";
    QTest::newRow("50 characters kept whole") << true << false << fifty << fifty;
    QTest::newRow("the field takes no more than 50") << false << true << fifty + QStringLiteral("多余") << fifty;
}

void TestRefundSettings::refundSettingsRoundTrip() {
    QFETCH(bool, refund);
    QFETCH(bool, cards);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    TempWorkDir dir;
    MessageBoxWatcher boxes;
    till().record().refundEnabled = 1;  // what the page shows first is the record
    till().record().setItemName(QStringLiteral("房间"));
    {
        QWidget host;
        setReundForm page(till(), &host);
        QVERIFY(check(page, "cbkRefund")->isChecked());
        QVERIFY(!check(page, "cbkRedundCard")->isChecked());
        QCOMPARE(edit(page, "txtRefundName")->text(), QStringLiteral("房间"));
        check(page, "cbkRefund")->setChecked(refund);
        check(page, "cbkRedundCard")->setChecked(cards);
        edit(page, "txtRefundName")->setText(typed);
        okButton(page)->click();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        QCOMPARE(boxes.last().title, QStringLiteral("提示信息"));
        QCOMPARE(boxes.last().text, QStringLiteral("设置成功"));
    }
    // Read back from the file, as the next start would.
    till().record() = ComConfig();
    till().loadRecord();
    QCOMPARE(till().record().refundEnabled, std::uint8_t(refund ? 1 : 0));
    QCOMPARE(till().record().refundCardEnabled, std::uint8_t(cards ? 1 : 0));
    QCOMPARE(till().record().itemName(), stored);
    QWidget host;
    setReundForm again(till(), &host);
    QCOMPARE(edit(again, "txtRefundName")->text(), stored);
    QCOMPARE(check(again, "cbkRefund")->isChecked(), refund);
}

void TestRefundSettings::refundSettingsUnwritable() {
    TempWorkDir dir;
    MessageBoxWatcher boxes;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("app.config")));  // a directory cannot be written as a file
    QWidget host;
    setReundForm page(till(), &host);
    check(page, "cbkRefund")->setChecked(true);
    edit(page, "txtRefundName")->setText(QStringLiteral("手牌"));
    okButton(page)->click();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().title, QStringLiteral("提示信息"));
    QCOMPARE(boxes.last().text, QStringLiteral("系统错误，请重试"));
    // In force for the rest of the run all the same.
    QCOMPARE(till().record().refundEnabled, std::uint8_t(1));
    QCOMPARE(till().record().itemName(), QStringLiteral("手牌"));
}

void TestRefundSettings::hubOpensTheRefundPages() {
    GatewayFixture f;
    signIn();
    answer(f.stub, QString(), 200, kAccepted);
    SettingMain hub(till());
    hubButton(hub, 4)->click();
    QVERIFY(qobject_cast<ModifyRedundPwdDialog*>(hub.currentPage()));
    hubButton(hub, 5)->click();
    QVERIFY(qobject_cast<SetRefundPwdDialog*>(hub.currentPage()));
    hubButton(hub, 7)->click();
    QVERIFY(qobject_cast<setReundForm*>(hub.currentPage()));
}

void TestRefundSettings::changeChecksThenSendsOnce() {
    GatewayFixture f;
    signIn();
    answer(f.stub, QString(), 200, kAccepted, 300);
    QWidget host;
    ModifyRedundPwdDialog page(till().passwords(), till().session().uname(), &host);
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("lblzh"))->text(), QStringLiteral("demo"));
    // The short current password is reported before the new ones are looked at.
    edit(page, "txtOldPwd")->setText(QStringLiteral("88888"));
    edit(page, "txtPwd")->setText(QStringLiteral("1"));
    okButton(page)->click();
    QCOMPARE(f.boxes.last().text, QStringLiteral("请输入原密码,至少6位"));
    edit(page, "txtOldPwd")->setText(QStringLiteral("888888"));
    edit(page, "txtPwd")->setText(QStringLiteral("123456"));
    edit(page, "txtPwd1")->setText(QStringLiteral("123456"));
    okButton(page)->click();
    QVERIFY(!okButton(page)->isEnabled());
    okButton(page)->click();  // a press while the change is out sends nothing
    QVERIFY(f.boxes.waitForBoxes(2));
    QCOMPARE(f.boxes.last().icon, QMessageBox::Information);
    QCOMPARE(f.boxes.last().text, QStringLiteral("操作成功"));
    QVERIFY(okButton(page)->isEnabled());
    QCOMPARE(f.stub.bodies().size(), 1);
    const QByteArray body = f.stub.bodies().first();
    QCOMPARE(formValue(body, QStringLiteral("action")), QStringLiteral("Share.Ace.editRefundPassword1"));
    QCOMPARE(formValue(body, QStringLiteral("uname")), QStringLiteral("demo"));
    QCOMPARE(formValue(body, QStringLiteral("oldpwd")), QStringLiteral("888888"));
    QCOMPARE(formValue(body, QStringLiteral("re_password")), QStringLiteral("123456"));
}

void TestRefundSettings::changeTransportFailureIsShown() {
    GatewayFixture f;
    signIn();
    f.stub.setReply("<html>busy</html>", 503);
    QWidget host;
    ModifyRedundPwdDialog page(till().passwords(), till().session().uname(), &host);
    edit(page, "txtOldPwd")->setText(QStringLiteral("888888"));
    edit(page, "txtPwd")->setText(QStringLiteral("123456"));
    edit(page, "txtPwd1")->setText(QStringLiteral("123456"));
    okButton(page)->click();
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().title, QStringLiteral("温馨提示"));
    QCOMPARE(f.boxes.last().text, QStringLiteral("网络异常，没有收到网关的答复，请检查网络设置后重试"));
    QVERIFY(okButton(page)->isEnabled());
}

void TestRefundSettings::setOrResetByTheStoredQuestion_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typedQuestion");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("sentQuestion");
    QTest::newRow("set mode") << "" << QStringLiteral("我的小学名字") << "Share.Ace.setRefundPassword"
                              << QStringLiteral("我的小学名字");
    QTest::newRow("reset mode, question locked")
        << QStringLiteral("我出生在哪个城市？") << ""
        << "Share.Ace.editRefundPassword" << QStringLiteral("我出生在哪个城市？");
    QTest::newRow("a short stored question does not block the reset")
        << QStringLiteral("城市？") << ""
        << "Share.Ace.editRefundPassword" << QStringLiteral("城市？");
}

void TestRefundSettings::setOrResetByTheStoredQuestion() {
    QFETCH(QString, stored);
    QFETCH(QString, typedQuestion);
    QFETCH(QString, action);
    QFETCH(QString, sentQuestion);
    GatewayFixture f;
    signIn();
    answer(f.stub, stored, 200, kAccepted);
    QWidget host;
    SetRefundPwdDialog page(till().passwords(), till().session().uname(), &host);
    QTRY_VERIFY(page.questionState() != passwordrules::QuestionState::Pending);
    QCOMPARE(edit(page, "txtQuestion")->text(), stored);
    QCOMPARE(edit(page, "txtQuestion")->isEnabled(), stored.isEmpty());
    if (!typedQuestion.isEmpty()) {
        edit(page, "txtQuestion")->setText(typedQuestion);
    }
    edit(page, "txtAnswer")->setText(QStringLiteral("杭州"));
    edit(page, "txtPwd")->setText(QStringLiteral("666666"));
    edit(page, "txtPwd1")->setText(QStringLiteral("666666"));
    okButton(page)->click();
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().text, QStringLiteral("操作成功"));
    QCOMPARE(f.stub.bodies().size(), 2);
    const QByteArray body = f.stub.bodies().last();
    QCOMPARE(formValue(body, QStringLiteral("action")), action);
    QCOMPARE(formValue(body, QStringLiteral("question")), sentQuestion);
    QCOMPARE(formValue(body, QStringLiteral("answer")), QStringLiteral("杭州"));
    // After a first set the question is the account's: the page stays in reset mode.
    QVERIFY(!edit(page, "txtQuestion")->isEnabled());
}

void TestRefundSettings::failedQuestionQuerySendsNothing() {
    GatewayFixture f;
    signIn();
    answer(f.stub, QString(), 502, kAccepted);
    QWidget host;
    SetRefundPwdDialog page(till().passwords(), till().session().uname(), &host);
    QVERIFY(f.boxes.waitForBoxes(1));
    QCOMPARE(f.boxes.last().title, QStringLiteral("温馨提示"));
    QCOMPARE(f.boxes.last().text, QStringLiteral("提示问题查询失败，请检查网络设置后重新打开本页"));
    edit(page, "txtQuestion")->setText(QStringLiteral("我的小学名字"));
    edit(page, "txtAnswer")->setText(QStringLiteral("杭州"));
    edit(page, "txtPwd")->setText(QStringLiteral("666666"));
    edit(page, "txtPwd1")->setText(QStringLiteral("666666"));
    okButton(page)->click();
    QCOMPARE(f.boxes.count(), 2);
    QCOMPARE(f.boxes.last().text, QStringLiteral("提示问题查询失败，请检查网络设置后重新打开本页"));
    QVERIFY(f.stub.roundTrip());
    QCOMPARE(f.stub.bodies().size(), 1);  // only the question query
}

QTEST_MAIN(TestRefundSettings)
#include "tst_refund_settings.moc"

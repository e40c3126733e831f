// The password pages' rules row by row: the login password change, the refund password's change and its set/reset
// by security question, and how a change reply is told.
#include "app/shown.h"
#include "gateway/replies.h"
#include "settings/passwordrules.h"

#include <QtTest>

using namespace passwordrules;

Q_DECLARE_METATYPE(passwordrules::QuestionState)
Q_DECLARE_METATYPE(passwordrules::PasswordAction)

class TestPasswordRules : public QObject {
    Q_OBJECT

private slots:
    void loginChange_data();
    void loginChange();
    void refundChange_data();
    void refundChange();
    void refundPasswordAction_data();
    void refundPasswordAction();
    void refundChangeReply_data();
    void refundChangeReply();
};

void TestPasswordRules::loginChange_data() {
    QTest::addColumn<bool>("currentMatches");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<QString>("again");
    QTest::addColumn<QString>("problem");
    QTest::newRow("wrong current first, even with a bad new one") << false << "abc"
                                                                  << "xyz"
                                                                  << "请输入正确的原密码";
    QTest::newRow("five characters refused") << true << "abc12"
                                             << "abc12"
                                             << "请输入新密码，至少6位";
    QTest::newRow("length before repetition") << true << "abc12"
                                              << "abc123"
                                              << "请输入新密码，至少6位";
    QTest::newRow("empty") << true << ""
                           << ""
                           << "请输入新密码，至少6位";
    QTest::newRow("six characters pass") << true << "abc123"
                                         << "abc123"
                                         << "";
    QTest::newRow("repetition differs") << true << "abc123"
                                        << "abc124"
                                        << "两次密码不一致";
    QTest::newRow("case matters") << true << "Abc123"
                                  << "abc123"
                                  << "两次密码不一致";
}

void TestPasswordRules::loginChange() {
    QFETCH(bool, currentMatches);
    QFETCH(QString, pwd);
    QFETCH(QString, again);
    QFETCH(QString, problem);
    QCOMPARE(loginChangeProblem(currentMatches, pwd, again), problem);
}

void TestPasswordRules::refundChange_data() {
    QTest::addColumn<QString>("oldPwd");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<QString>("pwd1");
    QTest::addColumn<QString>("message");
    QTest::newRow("short current first") << "88888"
                                         << "1"
                                         << "2"
                                         << "请输入原密码,至少6位";
    QTest::newRow("short new") << "888888"
                               << "12345"
                               << "12345"
                               << "请输入新密码，至少6位";
    QTest::newRow("repeat differs") << "888888"
                                    << "123456"
                                    << "123457"
                                    << "两次密码不一致";
    QTest::newRow("all good") << "888888"
                              << "123456"
                              << "123456"
                              << "";
}

void TestPasswordRules::refundChange() {
    QFETCH(QString, oldPwd);
    QFETCH(QString, pwd);
    QFETCH(QString, pwd1);
    QFETCH(QString, message);
    QCOMPARE(refundChangeProblem(oldPwd, pwd, pwd1), message);
}

void TestPasswordRules::refundPasswordAction_data() {
    QTest::addColumn<QuestionState>("state");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<QString>("pwd1");
    QTest::addColumn<PasswordAction>("action");
    QTest::addColumn<QString>("message");
    const QString q6 = QStringLiteral("我的小学名字");
    QTest::newRow("set") << QuestionState::None << q6 << "杭州"
                         << "123456"
                         << "123456" << PasswordAction::Set << "";
    QTest::newRow("set: question of 5 refused") << QuestionState::None << "我的小学名"
                                                << "杭州"
                                                << "123456"
                                                << "123456" << PasswordAction::Refuse << "请输入问题,至少6位";
    QTest::newRow("reset") << QuestionState::Stored << "我出生在哪个城市？"
                           << "杭州"
                           << "123456"
                           << "123456" << PasswordAction::Reset << "";
    QTest::newRow("reset: a short stored question does not block") << QuestionState::Stored << "城市？"
                                                                   << "杭州"
                                                                   << "123456"
                                                                   << "123456" << PasswordAction::Reset << "";
    QTest::newRow("answer of 1 refused") << QuestionState::Stored << q6 << "杭"
                                         << "123456"
                                         << "123456" << PasswordAction::Refuse << "请输入答案,至少2位";
    QTest::newRow("short password") << QuestionState::None << q6 << "杭州"
                                    << "12345"
                                    << "12345" << PasswordAction::Refuse << "请输入新密码，至少6位";
    QTest::newRow("repeat differs") << QuestionState::Stored << q6 << "杭州"
                                    << "123456"
                                    << "654321" << PasswordAction::Refuse << "两次密码不一致";
    QTest::newRow("question still out: nothing sent")
        << QuestionState::Pending << q6 << "杭州"
        << "123456"
        << "123456" << PasswordAction::Refuse << QStringLiteral("正在查询提示问题，请稍候再试");
    QTest::newRow("question query failed: nothing sent")
        << QuestionState::Failed << q6 << "杭州"
        << "123456"
        << "123456" << PasswordAction::Refuse << QStringLiteral("提示问题查询失败，请检查网络设置后重新打开本页");
}

void TestPasswordRules::refundPasswordAction() {
    QFETCH(QuestionState, state);
    QFETCH(QString, question);
    QFETCH(QString, answer);
    QFETCH(QString, pwd);
    QFETCH(QString, pwd1);
    QFETCH(PasswordAction, action);
    QFETCH(QString, message);
    const PasswordChoice choice = choosePasswordAction(state, question, answer, pwd, pwd1);
    QCOMPARE(choice.action, action);
    QCOMPARE(choice.message, message);
}

void TestPasswordRules::refundChangeReply_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::newRow("Success") << QByteArray(R"({"respType":"Success"})") << true << "操作成功";
    QTest::newRow("gateway text") << QByteArray(R"({"respType":"原退款密码错误"})") << false << "原退款密码错误";
    QTest::newRow("lower case is no success") << QByteArray(R"({"respType":"success"})") << false << "success";
    QTest::newRow("nothing said") << QByteArray("{}") << false << "操作失败";
    QTest::newRow("markup shown as sent, long text cut")
        << QByteArray(R"({"respType":"<b>)") + QByteArray(400, 'x') + QByteArray(R"(</b>"})") << false
        << QString("<b>" + QString(display::kShownChars - 3, 'x') + QChar(0x2026));
}

void TestPasswordRules::refundChangeReply() {
    QFETCH(QByteArray, content);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    const replies::Status status = replies::refundPasswordChange(
        gateway::readReply(HttpFun::Ending::Answered, 200, true, QByteArray(R"({"content":)") + content + "}"));
    QCOMPARE(status.ok(), accepted);
    QCOMPARE(changeMessage(status), message);
}

QTEST_GUILESS_MAIN(TestPasswordRules)
#include "tst_passwordrules.moc"

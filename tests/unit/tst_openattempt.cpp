// The life charges and refunds share once an attempt is written: which of the cashier's actions count in which state,
// that a look-up given up is heard no more, and that the journal is told and tells.
#include "app/usersession.h"
#include "payments/journal.h"
#include "payments/openattempt.h"

#include <QTemporaryDir>
#include <QtTest>

class TestOpenAttempt : public QObject {
    Q_OBJECT

private slots:
    void cashierActionsAndLookUps_data();
    void cashierActionsAndLookUps();
};

void TestOpenAttempt::cashierActionsAndLookUps_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("durationMs");
    // Look-ups due, unresolved ends, replies of look-ups that reached their handler, journal troubles told.
    QTest::addColumn<QList<int>>("seen");
    QTest::addColumn<bool>("released");
    QTest::newRow("next look-up follows") << "check nothing" << 60000 << QList<int>{2, 0, 0, 0} << false;
    QTest::newRow("time up") << "check nothing" << 0 << QList<int>{1, 1, 0, 0} << true;
    QTest::newRow("reply while running") << "check reply" << 60000 << QList<int>{1, 0, 1, 0} << false;
    QTest::newRow("stopped: late reply dropped") << "check stop reply" << 60000 << QList<int>{1, 1, 0, 0} << true;
    QTest::newRow("checked again, anew") << "check stop again" << 60000 << QList<int>{2, 1, 0, 0} << false;
    QTest::newRow("again, stop out of state") << "again stop" << 60000 << QList<int>{0, 0, 0, 0} << false;
    QTest::newRow("known outcome ends it") << "check paid stop nothing" << 60000 << QList<int>{1, 0, 0, 0} << false;
    QTest::newRow("journal refuses outcome") << "lost paid" << 60000 << QList<int>{0, 0, 0, 1} << false;
    QTest::newRow("given up by its owner") << "giveup" << 60000 << QList<int>{0, 1, 0, 0} << true;
}

void TestOpenAttempt::cashierActionsAndLookUps() {
    QFETCH(QString, steps);
    QFETCH(int, durationMs);
    QFETCH(QList<int>, seen);
    QFETCH(bool, released);
    QTemporaryDir dir;
    auto journal = journal::Journal::openFile(dir.filePath("payments.db")).journal;
    UserSession session;
    session.setLoginInfo(LoginInfo{"token", "42", "demo", "Demo", QString()});
    gateway::Clock clock;
    OpenAttempt attempt(PaymentContext{journal.get(), &session, gateway::Link({}, clock), nullptr},
                        OpenAttempt::Noun::Charge);
    attempt.setTiming({30000, 1, durationMs, 1000, 120, 300});
    journal::Attempt a;
    a.saleId = "S1";
    a.fen = 1250;
    QString why;
    QVERIFY2(attempt.begin(a, &why), qPrintable(why));

    QList<int> got{0, 0, 0, 0};
    gateway::Done onItsWay;  // the reply handler of the latest look-up, as its owner would post it
    connect(&attempt, &OpenAttempt::lookUpDue, [&] {
        ++got[0];
        onItsWay = attempt.latest([&](const gateway::Reply&) { ++got[2]; });
    });
    connect(&attempt, &OpenAttempt::unresolved, [&] { ++got[1]; });
    connect(&attempt, &OpenAttempt::journalTrouble, [&] { ++got[3]; });
    const QHash<QString, std::function<void()>> act{
        {"check", [&] { attempt.startCheck(); }},
        {"nothing", [&] { attempt.nothingFound(); }},
        {"stop", [&] { attempt.stopCheck(); }},
        {"again", [&] { attempt.checkAgain(); }},
        {"giveup", [&] { attempt.giveUp(); }},
        {"reply", [&] { onItsWay(gateway::Reply()); }},
        {"lost", [&] { attempt.setId(987); }},
        {"paid", [&] { attempt.settle(journal::State::Paid, "ORD1", QString()); }},
    };
    for (const QString& step : steps.split(' ')) {
        act.value(step)();
    }
    QTRY_COMPARE(got, seen);
    // Only an unresolved attempt is released, in the journal, by the signed-in cashier.
    QCOMPARE(attempt.release(&why), released);
    QCOMPARE(journal->ofSale("S1").first().releasedBy, QString(released ? "42" : ""));
}

QTEST_GUILESS_MAIN(TestOpenAttempt)
#include "tst_openattempt.moc"

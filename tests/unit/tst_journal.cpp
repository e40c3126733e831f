// The payment journal: what it allows next in each state, and that what it writes survives, stays private and is
// never lost when the file is unreadable.
#include "journal/journal.h"
#include "journal/refundguard.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace journal;

Q_DECLARE_METATYPE(journal::State)
Q_DECLARE_METATYPE(journal::Attempt)

namespace {

const QList<State> kAllStates{State::Sending, State::NotSent,    State::Paid,
                              State::Refused, State::Unresolved, State::Released};

Attempt attemptOf(Kind kind, State state, const QString& orderNo = QString()) {
    Attempt a;
    a.kind = kind;
    a.state = state;
    a.orderNo = orderNo;
    return a;
}

Attempt charge(const QString& sale, const QDateTime& created = QDateTime()) {
    Attempt a;
    a.saleId = sale;
    a.fen = 1250;
    a.shopId = QStringLiteral("7");
    a.cashierId = QStringLiteral("42");
    a.maskedCode = maskCode(QStringLiteral("280000000000000001"));
    a.createdAt = created;
    return a;
}

// Runs SQL on a file behind the journal's back, as another program would.
void runSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

}  // namespace

class TestJournal : public QObject {
    Q_OBJECT

private slots:
    void maySettle_data();
    void maySettle();
    void mayStartCharge_data();
    void mayStartCharge();
    void mayStartRefund_data();
    void mayStartRefund();
    void maskCode_data();
    void maskCode();
    void storedNames();
    void refundLookup_data();
    void refundLookup();

    void writtenAttemptsSurviveReopening();
    void storedMovesFollowTheRules();
    void openAttemptsBlock();
    void unreadableFileMovedAside_data();
    void unreadableFileMovedAside();
    void noJournalWhereNoFileCanBeMade();
    void fileIsPrivate();
    void pruneKeepsOpenAttempts();
    void startupTellsTheCashier();
};

void TestJournal::maySettle_data() {
    QTest::addColumn<State>("from");
    QTest::addColumn<State>("to");
    QTest::addColumn<bool>("allowed");
    const QList<QPair<State, State>> allowed{
        {State::Sending, State::NotSent},     {State::Sending, State::Paid},     {State::Sending, State::Refused},
        {State::Sending, State::Unresolved},  {State::Sending, State::Released}, {State::Unresolved, State::Paid},
        {State::Unresolved, State::Released}, {State::Refused, State::Paid},     {State::Released, State::Paid}};
    for (State from : kAllStates) {
        for (State to : kAllStates) {
            const QString name = stateName(from) + QStringLiteral(" -> ") + stateName(to);
            QTest::newRow(qPrintable(name)) << from << to << allowed.contains({from, to});
        }
    }
}

void TestJournal::maySettle() {
    QFETCH(State, from);
    QFETCH(State, to);
    QFETCH(bool, allowed);
    QCOMPARE(journal::maySettle(from, to), allowed);
}

void TestJournal::mayStartCharge_data() {
    QTest::addColumn<QList<Attempt>>("open");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("nothing open") << QList<Attempt>{} << true;
    QTest::newRow("a charge sending") << QList<Attempt>{attemptOf(Kind::Charge, State::Sending)} << false;
    QTest::newRow("a ticket charge unresolved")
        << QList<Attempt>{attemptOf(Kind::TicketCharge, State::Unresolved)} << false;
    QTest::newRow("only a refund open") << QList<Attempt>{attemptOf(Kind::Refund, State::Sending, "A")} << true;
    QTest::newRow("settled charges") << QList<Attempt>{attemptOf(Kind::Charge, State::Paid),
                                                       attemptOf(Kind::Charge, State::Released),
                                                       attemptOf(Kind::Charge, State::NotSent)}
                                     << true;
    QTest::newRow("one open among settled")
        << QList<Attempt>{attemptOf(Kind::Charge, State::Refused), attemptOf(Kind::Charge, State::Unresolved)} << false;
}

void TestJournal::mayStartCharge() {
    QFETCH(QList<Attempt>, open);
    QFETCH(bool, allowed);
    QCOMPARE(journal::mayStartCharge(open), allowed);
}

void TestJournal::mayStartRefund_data() {
    QTest::addColumn<QString>("orderNo");
    QTest::addColumn<QList<Attempt>>("open");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("nothing open") << "A" << QList<Attempt>{} << true;
    QTest::newRow("no order number") << " " << QList<Attempt>{} << false;
    QTest::newRow("this order's refund sending")
        << "A" << QList<Attempt>{attemptOf(Kind::Refund, State::Sending, "A")} << false;
    QTest::newRow("this order's refund unresolved")
        << "A" << QList<Attempt>{attemptOf(Kind::Refund, State::Unresolved, "A")} << false;
    QTest::newRow("another order's refund open")
        << "A" << QList<Attempt>{attemptOf(Kind::Refund, State::Sending, "B")} << true;
    QTest::newRow("this order's refund refunded")
        << "A" << QList<Attempt>{attemptOf(Kind::Refund, State::Paid, "A")} << true;
    QTest::newRow("a charge of that order open")
        << "A" << QList<Attempt>{attemptOf(Kind::Charge, State::Sending, "A")} << true;
}

void TestJournal::mayStartRefund() {
    QFETCH(QString, orderNo);
    QFETCH(QList<Attempt>, open);
    QFETCH(bool, allowed);
    QCOMPARE(journal::mayStartRefund(orderNo, open), allowed);
}

void TestJournal::maskCode_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("masked");
    QTest::newRow("payment code") << "280000000000000001"
                                  << "****0001";
    QTest::newRow("blanks around") << " 130000000000007703\r\n"
                                   << "****7703";
    QTest::newRow("twelve characters") << "123456789012"
                                       << "****9012";
    QTest::newRow("eleven characters") << "12345678901"
                                       << "****";
    QTest::newRow("four digits") << "1234"
                                 << "****";
    QTest::newRow("not ending in digits") << "28000000000000000X"
                                          << "****";
    QTest::newRow("full-width digits") << QString::fromUtf8("28000000000000０００１") << "****";
    QTest::newRow("empty") << ""
                           << "";
}

void TestJournal::maskCode() {
    QFETCH(QString, code);
    QFETCH(QString, masked);
    QCOMPARE(journal::maskCode(code), masked);
    QVERIFY(!looksUnmasked(journal::maskCode(code)));
}

void TestJournal::storedNames() {
    QSet<QString> names;
    for (State s : kAllStates) {
        QCOMPARE(stateFromName(stateName(s)), std::optional<State>(s));
        names.insert(stateName(s));
    }
    QCOMPARE(names.size(), kAllStates.size());
    for (Kind k : {Kind::Charge, Kind::TicketCharge, Kind::Refund}) {
        QCOMPARE(kindFromName(kindName(k)), std::optional<Kind>(k));
    }
    QVERIFY(!stateFromName("Sending").has_value());
    QVERIFY(!kindFromName("").has_value());
}

void TestJournal::writtenAttemptsSurviveReopening() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    const QDateTime created = QDateTime::currentDateTime().addSecs(-30);
    Attempt refund = charge("refund:R1", created);
    refund.kind = Kind::Refund;
    refund.orderNo = "R1";
    refund.maskedCode = "280000000000000001";  // passed unmasked by mistake: masked on the way in
    refund.note = refundNote(300);
    qint64 paidId = 0, refundId = 0;
    {
        auto opened = Journal::openFile(path);
        QVERIFY2(opened.journal, qPrintable(opened.error));
        QString error;
        paidId = opened.journal->begin(charge("S1", created), &error).value_or(0);
        QVERIFY2(paidId > 0, qPrintable(error));
        QVERIFY(opened.journal->settle(paidId, State::Paid, "ORDER1", QString(), &error));
        refundId = opened.journal->begin(refund, &error).value_or(0);
        QVERIFY(refundId > paidId);
        // An outcome without a note keeps the one written before sending.
        QVERIFY(opened.journal->settle(refundId, State::Unresolved, QString(), QString(), &error));
    }
    auto reopened = Journal::openFile(path);
    QVERIFY(reopened.journal && reopened.movedAsideTo.isEmpty());
    const Attempt paid = reopened.journal->attempt(paidId).value_or(Attempt{});
    QCOMPARE(paid.saleId, QString("S1"));
    QCOMPARE(paid.kind, Kind::Charge);
    QCOMPARE(paid.fen, qint64(1250));
    QCOMPARE(paid.shopId, QString("7"));
    QCOMPARE(paid.cashierId, QString("42"));
    QCOMPARE(paid.maskedCode, QString("****0001"));
    QCOMPARE(paid.orderNo, QString("ORDER1"));
    QCOMPARE(paid.state, State::Paid);
    QCOMPARE(paid.createdAt, created);
    QVERIFY(paid.settledAt >= created);
    const QList<Attempt> open = reopened.journal->open("7");
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first().id, refundId);
    QCOMPARE(open.first().maskedCode, QString("****0001"));
    QCOMPARE(open.first().note, refundNote(300));
    QCOMPARE(reopened.journal->ofSale("S1").size(), 1);
    QVERIFY(reopened.journal->open("8").isEmpty());
    QCOMPARE(reopened.journal->between(created, created.addSecs(1), QString()).size(), 2);
    QVERIFY(reopened.journal->between(created.addSecs(1), created.addSecs(60), QString()).isEmpty());
}

void TestJournal::storedMovesFollowTheRules() {
    QTemporaryDir dir;
    auto j = Journal::openFile(dir.filePath("payments.db")).journal;
    QVERIFY(j);
    QString error;
    const qint64 id = j->begin(charge("S1"), &error).value_or(0);
    QVERIFY(j->settle(id, State::Unresolved, QString(), "查询未找到", &error));
    QVERIFY(!j->settle(id, State::Refused, QString(), "拒绝", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!j->settle(id, State::Released, QString(), QString(), &error));
    QVERIFY(!j->release(id, " ", &error));
    QCOMPARE(j->attempt(id)->state, State::Unresolved);
    QVERIFY2(j->release(id, "42", &error), qPrintable(error));
    const Attempt released = *j->attempt(id);
    QCOMPARE(released.state, State::Released);
    QCOMPARE(released.releasedBy, QString("42"));
    QVERIFY(released.settledAt.isValid());
    QVERIFY(!j->release(id, "42", &error));
    QVERIFY(!j->settle(987, State::Paid, QString(), QString(), &error));
    Attempt free = charge("S2");
    free.fen = 0;
    QVERIFY(!j->begin(free, &error).has_value());
}

void TestJournal::openAttemptsBlock() {
    QTemporaryDir dir;
    auto j = Journal::openFile(dir.filePath("payments.db")).journal;
    QVERIFY(j);
    Attempt refund = charge("refund:A");
    refund.kind = Kind::Refund;
    refund.orderNo = "A";
    const qint64 refundId = j->begin(refund, nullptr).value_or(0);
    QVERIFY(j->refundOpen("A"));
    QVERIFY(!j->refundOpen("B"));
    QVERIFY(j->chargeAllowed());
    Attempt other = charge("S9");
    other.shopId = "8";
    const qint64 chargeId = j->begin(other, nullptr).value_or(0);
    QString why;
    QVERIFY(!j->chargeAllowed(&why));
    QVERIFY(!why.isEmpty());
    QVERIFY(j->settle(chargeId, State::NotSent, QString(), QString(), nullptr));
    QVERIFY(j->settle(refundId, State::Unresolved, QString(), QString(), nullptr));
    QVERIFY(j->chargeAllowed());
    QVERIFY(j->refundOpen("A"));
}

void TestJournal::unreadableFileMovedAside_data() {
    QTest::addColumn<QByteArray>("sql");  // empty: the file holds text, not a database
    QTest::newRow("not a database") << QByteArray();
    QTest::newRow("a newer schema") << QByteArray("CREATE TABLE attempts(x); PRAGMA user_version=99;");
    QTest::newRow("another program's tables") << QByteArray("CREATE TABLE orders(id INTEGER);");
    QTest::newRow("our version, other columns") << QByteArray("CREATE TABLE attempts(id); PRAGMA user_version=1;");
}

void TestJournal::unreadableFileMovedAside() {
    QFETCH(QByteArray, sql);
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    if (sql.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("收款记录 garbage\n");
    } else {
        runSql(path, sql.constData());
    }
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    auto opened = Journal::openFile(path);
    QVERIFY2(opened.journal, qPrintable(opened.error));
    QVERIFY(opened.movedAsideTo.startsWith(path + ".broken-"));
    QFile aside(opened.movedAsideTo);
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), before);
    QVERIFY(opened.journal->begin(charge("S1"), nullptr).has_value());
}

void TestJournal::noJournalWhereNoFileCanBeMade() {
    // Root writes through any mode bits; a folder that is a regular file stops everyone.
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    auto opened = Journal::openFile(dir.filePath("plain/payments.db"));
    QVERIFY(!opened.journal);
    QVERIFY(!opened.error.isEmpty());
    QVERIFY(opened.movedAsideTo.isEmpty());
}

void TestJournal::fileIsPrivate() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    const auto privateMode = QFile::ReadOwner | QFile::WriteOwner;
    const auto others = QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther;
    {
        auto j = Journal::openFile(path).journal;
        QVERIFY(j && j->begin(charge("S1"), nullptr).has_value());
        QCOMPARE(QFile::permissions(path) & (privateMode | others), privateMode);
        QCOMPARE(QFile::permissions(path + "-wal") & others, QFile::Permissions());
    }
    QVERIFY(QFile::setPermissions(path, privateMode | QFile::ReadGroup | QFile::ReadOther));
    auto j = Journal::openFile(path).journal;
    QVERIFY(j);
    QCOMPARE(QFile::permissions(path) & (privateMode | others), privateMode);
}

void TestJournal::pruneKeepsOpenAttempts() {
    QTemporaryDir dir;
    auto j = Journal::openFile(dir.filePath("payments.db")).journal;
    QVERIFY(j);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime old = now.addDays(-Journal::kKeepDays - 10);
    QList<qint64> kept;
    for (State outcome : kAllStates) {
        const qint64 id = j->begin(charge(stateName(outcome), old), nullptr).value_or(0);
        QVERIFY(id > 0);
        if (outcome == State::Released) {
            QVERIFY(j->release(id, "42", nullptr));
        } else if (outcome != State::Sending) {
            QVERIFY(j->settle(id, outcome, QString(), QString(), nullptr));
        }
        if (isOpen(outcome)) {
            kept << id;
        }
    }
    const qint64 recent = j->begin(charge("recent", now.addDays(-10)), nullptr).value_or(0);
    QVERIFY(j->settle(recent, State::Paid, QString(), QString(), nullptr));
    kept << recent;

    QCOMPARE(j->prune(now.addDays(-Journal::kKeepDays)), 4);
    QList<qint64> left;
    for (const Attempt& a : j->between(old.addDays(-1), now.addDays(1), QString())) {
        left << a.id;
    }
    QCOMPARE(left, kept);
}

void TestJournal::startupTellsTheCashier() {
    QTemporaryDir dir;
    QFile garbage(dir.filePath("payments.db"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a journal");
    garbage.close();
    const QString moved = openAtStartup(dir.path());
    QVERIFY(instance());
    QVERIFY2(moved.contains("payments.db.broken-"), qPrintable(moved));
    QCOMPARE(openAtStartup(dir.path()), QString());
    QVERIFY(instance());

    QVERIFY(!openAtStartup(dir.filePath("payments.db")).isEmpty());  // a file where the folder should be
    QVERIFY(!instance());
}

void TestJournal::refundLookup_data() {
    QTest::addColumn<qint64>("before");
    QTest::addColumn<qint64>("refund");
    QTest::addColumn<qint64>("now");  // -1: the order could not be read
    QTest::addColumn<int>("verdict");
    const int through = int(RefundLookup::WentThrough);
    const int none = int(RefundLookup::DidNotHappen);
    const int unknown = int(RefundLookup::Unknown);
    QTest::newRow("rose by the refund") << qint64(0) << qint64(500) << qint64(500) << through;
    QTest::newRow("rose by more (another refund too)") << qint64(200) << qint64(500) << qint64(900) << through;
    QTest::newRow("unchanged") << qint64(200) << qint64(500) << qint64(200) << none;
    QTest::newRow("rose by less") << qint64(0) << qint64(500) << qint64(300) << unknown;
    QTest::newRow("fell") << qint64(300) << qint64(500) << qint64(0) << unknown;
    QTest::newRow("order not read") << qint64(0) << qint64(500) << qint64(-1) << unknown;
}

void TestJournal::refundLookup() {
    QFETCH(qint64, before);
    QFETCH(qint64, refund);
    QFETCH(qint64, now);
    QFETCH(int, verdict);
    const std::optional<qint64> listed = now < 0 ? std::nullopt : std::optional<qint64>(now);
    QCOMPARE(int(judgeRefundLookup(before, refund, listed)), verdict);
    // What was refunded before travels in the attempt's note, and survives the journal.
    QCOMPARE(refundedBeforeOf(refundNote(before)), std::optional<qint64>(before));
    QCOMPARE(refundedBeforeOf(QStringLiteral("收银员放弃确认")), std::nullopt);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"

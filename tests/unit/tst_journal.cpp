// The payment journal: what it allows next in each state, and that what it writes survives, stays private and is
// never lost when the file is unreadable.
#include "payments/journal.h"
#include "payments/openmoney.h"
#include "payments/refundguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Attempts from "kind state fen store minutesAgo sale [refundedBefore]" each, e.g. "c refused 1250 7 5 S1"; ids
// follow the order given.
QList<Attempt> attempts(const QStringList& items, const QDateTime& now) {
    QList<Attempt> out;
    for (const QString& item : items) {
        const QStringList f = item.split(' ');
        Attempt a = charge(f[5], now.addSecs(-60 * f[4].toInt()));
        a.id = out.size() + 1;
        a.kind = f[0] == "r" ? Kind::Refund : f[0] == "t" ? Kind::TicketCharge : Kind::Charge;
        a.state = *stateFromName(f[1]);
        a.fen = f[2].toLongLong();
        a.shopId = f[3];
        a.refundedBefore = f.size() > 6 ? std::optional<qint64>(f[6].toLongLong()) : std::nullopt;
        out.append(a);
    }
    return out;
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
    void openAttemptRule_data();
    void openAttemptRule();
    void ownersOfAttempts_data();
    void ownersOfAttempts();
    void maskCode_data();
    void maskCode();
    void storedNames();
    void refundLookup_data();
    void refundLookup();
    void openRefundsAtSignIn_data();
    void openRefundsAtSignIn();
    void tillRules_data();
    void tillRules();

    void writtenAttemptsSurviveReopening();
    void openMoneyReadWithoutTheJournal_data();
    void openMoneyReadWithoutTheJournal();
    void tillAnswersOutliveTheWindow();
    void refundAgainstWhatIsRefundedNow_data();
    void refundAgainstWhatIsRefundedNow();
    void storedMovesFollowTheRules();
    void firstSchemaUpgradedInPlace();
    void unreadableFileKeepsItsOpenAttempts();
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

void TestJournal::openAttemptRule_data() {
    QTest::addColumn<QList<Attempt>>("there");  // attempts already in the journal
    QTest::addColumn<Attempt>("next");
    QTest::addColumn<bool>("allowed");
    const Attempt chargeNext = attemptOf(Kind::Charge, State::Sending);
    const Attempt refundNext = attemptOf(Kind::Refund, State::Sending, "A");
    QTest::newRow("nothing open") << QList<Attempt>{} << chargeNext << true;
    QTest::newRow("a charge of another store sending")
        << QList<Attempt>{attemptOf(Kind::Charge, State::Sending)} << chargeNext << false;
    QTest::newRow("a ticket charge unresolved")
        << QList<Attempt>{attemptOf(Kind::TicketCharge, State::Unresolved)} << chargeNext << false;
    QTest::newRow("only a refund open") << QList<Attempt>{attemptOf(Kind::Refund, State::Sending, "A")} << chargeNext
                                        << true;
    QTest::newRow("settled charges") << QList<Attempt>{attemptOf(Kind::Charge, State::Paid),
                                                       attemptOf(Kind::Charge, State::Released),
                                                       attemptOf(Kind::Charge, State::NotSent)}
                                     << chargeNext << true;
    QTest::newRow("this order's refund unresolved")
        << QList<Attempt>{attemptOf(Kind::Refund, State::Unresolved, "A")} << refundNext << false;
    QTest::newRow("another order's refund open")
        << QList<Attempt>{attemptOf(Kind::Refund, State::Sending, "B")} << refundNext << true;
    QTest::newRow("this order refunded before")
        << QList<Attempt>{attemptOf(Kind::Refund, State::Paid, "A")} << refundNext << true;
    QTest::newRow("a charge open, refund of another order")
        << QList<Attempt>{attemptOf(Kind::Charge, State::Sending)} << refundNext << true;
}

void TestJournal::openAttemptRule() {
    QFETCH(QList<Attempt>, there);
    QFETCH(Attempt, next);
    QFETCH(bool, allowed);
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    { QVERIFY(Journal::openFile(path).journal); }
    for (const Attempt& a : there) {
        const QByteArray sql = QStringLiteral(
                                   "INSERT INTO attempts (sale_id, kind, fen, shop_id, cashier_id, masked_code, "
                                   "order_no, created_ms, created_at, state) VALUES ('x', '%1', 100, '8', "
                                   "'1', '', '%2', 0, '', '%3')")
                                   .arg(kindName(a.kind), a.orderNo, stateName(a.state))
                                   .toUtf8();
        runSql(path, sql.constData());
    }
    auto j = Journal::openFile(path).journal;
    Attempt a = charge(isCharge(next.kind) ? "S" : "refund:A");
    a.kind = next.kind;
    a.orderNo = next.orderNo;
    QString why;
    Attempt blocker;
    QCOMPARE(j->blockerFor(a.kind, a.orderNo).has_value(), !allowed);
    QCOMPARE(j->begin(a, &why, &blocker).has_value(), allowed);
    QCOMPARE(why.isEmpty(), allowed);
    QCOMPARE(blocker.id != 0, !allowed);
}

void TestJournal::ownersOfAttempts_data() {
    QTest::addColumn<QString>("owner");  // "": none recorded (an older file), "self", "live" or "gone"
    QTest::addColumn<bool>("heldElsewhere");
    QTest::newRow("no owner recorded") << "" << false;
    QTest::newRow("this copy") << "self" << false;
    QTest::newRow("another copy still running") << "live" << true;
    QTest::newRow("another copy that ended") << "gone" << false;
}

void TestJournal::ownersOfAttempts() {
    QFETCH(QString, owner);
    QFETCH(bool, heldElsewhere);
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    const Owner self{100, "boot:1"}, live{200, "boot:2"}, gone{300, "boot:3"};
    const auto alive = [=](const Owner& o) { return o == self || o == live; };
    qint64 id = 0;
    {
        auto theirs = Journal::openFile(path).journal;
        theirs->setIdentity(owner == "self" ? self : owner == "live" ? live : owner == "gone" ? gone : Owner{}, alive);
        id = theirs->begin(charge("S1"), nullptr).value_or(0);
        QVERIFY(id > 0);
    }
    auto mine = Journal::openFile(path).journal;
    mine->setIdentity(self, alive);
    const Attempt a = *mine->attempt(id);
    QCOMPARE(mine->heldElsewhere(a), heldElsewhere);
    // Whoever holds it, the open charge keeps a second one from starting; the text says whose it is.
    QString why;
    QVERIFY(!mine->begin(charge("S2"), &why).has_value());
    QCOMPARE(why.contains(QStringLiteral("另一个收银窗口")), heldElsewhere);
    // Only an attempt of a copy that no longer runs (or of none) is taken over.
    QCOMPARE(mine->takeOver(id, &why), !heldElsewhere);
    QCOMPARE(mine->attempt(id)->owner == self, !heldElsewhere);
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

// What the updater reads before it installs: the journal's own open attempts, whatever their kind; a file it cannot
// read never counts as quiet.
void TestJournal::openMoneyReadWithoutTheJournal_data() {
    QTest::addColumn<QStringList>("outcomes");  // one attempt each: its state after sending, or "sending"
    QTest::addColumn<bool>("refund");           // the last one is a refund
    QTest::addColumn<int>("open");
    QTest::newRow("no journal yet") << QStringList() << false << 0;
    QTest::newRow("paid and refused") << QStringList{"paid", "refused"} << false << 0;
    QTest::newRow("a charge on its way") << QStringList{"paid", "sending"} << false << 1;
    QTest::newRow("an unknown refund") << QStringList{"paid", "unresolved"} << true << 1;
    QTest::newRow("not a journal") << QStringList{"garbage"} << false << -1;
}

void TestJournal::openMoneyReadWithoutTheJournal() {
    QFETCH(QStringList, outcomes);
    QFETCH(bool, refund);
    QFETCH(int, open);
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    if (outcomes == QStringList{"garbage"}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    } else if (!outcomes.isEmpty()) {
        auto opened = Journal::openFile(path);
        QVERIFY2(opened.journal, qPrintable(opened.error));
        for (int i = 0; i < outcomes.size(); ++i) {
            Attempt a = charge(QStringLiteral("S%1").arg(i));
            if (refund && i == outcomes.size() - 1) {
                a.kind = Kind::Refund;
                a.orderNo = QStringLiteral("ORDER0");
            }
            QString error;
            const qint64 id = opened.journal->begin(a, &error).value_or(0);
            QVERIFY2(id > 0, qPrintable(error));
            if (outcomes[i] != "sending") {
                QVERIFY(opened.journal->settle(id, *stateFromName(outcomes[i]), QStringLiteral("O%1").arg(i), QString(),
                                               &error));
            }
        }
    }
    QCOMPARE(openmoney::openAttempts(QFile::encodeName(path).toStdString()), open);
}

void TestJournal::writtenAttemptsSurviveReopening() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    const QDateTime created = QDateTime::currentDateTime().addSecs(-30);
    Attempt refund = charge("refund:R1", created);
    refund.kind = Kind::Refund;
    refund.orderNo = "R1";
    refund.maskedCode = "280000000000000001";  // passed unmasked by mistake: masked on the way in
    refund.refundedBefore = 300;
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
    QCOMPARE(open.first().refundedBefore, std::optional<qint64>(300));
    QCOMPARE(reopened.journal->ofSale("S1").size(), 1);
    QVERIFY(reopened.journal->open("8").isEmpty());
    QCOMPARE(reopened.journal->between(created, created.addSecs(1), QString()).size(), 2);
    QVERIFY(reopened.journal->between(created.addSecs(1), created.addSecs(60), QString()).isEmpty());
}

// What the cashier answered and what the gateway numbered belong to the till: another copy of the client on the same
// file reads them, and a paid charge's result not yet shown is told once.
void TestJournal::tillAnswersOutliveTheWindow() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    const QDateTime at = QDateTime::currentDateTimeUtc().addSecs(-60);
    auto first = Journal::openFile(path);
    QVERIFY(first.journal);
    QString error;
    const qint64 refused = first.journal->begin(charge("S1", at), &error).value_or(0);
    QVERIFY(first.journal->settle(refused, State::Refused, QString(), "余额不足", &error));
    const qint64 paid = first.journal->begin(charge("S2", at.addSecs(10)), &error).value_or(0);
    QVERIFY(first.journal->settle(paid, State::Paid, "OUT2", QString(), &error, "T2"));
    QVERIFY(first.journal->decline({refused}, {"OTHER", "T-OTHER"}, &error));

    auto second = Journal::openFile(path);  // another copy of the client
    QVERIFY(second.journal);
    QCOMPARE(second.journal->declinedFor(refused), (QSet<QString>{"OTHER", "T-OTHER"}));
    QVERIFY(second.journal->declinedFor(paid).isEmpty());
    QCOMPARE(second.journal->paidChargeNumbers(1250, at, at.addSecs(60)), (QSet<QString>{"OUT2", "T2"}));
    QVERIFY(second.journal->paidChargeNumbers(990, at, at.addSecs(60)).isEmpty());
    QVERIFY(second.journal->paidChargeNumbers(1250, at.addSecs(11), at.addSecs(60)).isEmpty());
    // The refused charge; another sale's paid one is not read for it.
    QCOMPARE(second.journal->answeredCharges(1250, at, at.addSecs(60)).size(), 1);

    QCOMPARE(second.journal->paidUnshown().value_or(Attempt{}).id, paid);
    second.journal->resultShown(refused);  // another attempt's window: not this one
    QCOMPARE(first.journal->paidUnshown().value_or(Attempt{}).id, paid);
    first.journal->resultShown(paid);
    QVERIFY(!second.journal->paidUnshown());
}

void TestJournal::refundAgainstWhatIsRefundedNow_data() {
    QTest::addColumn<qint64>("refund");
    QTest::addColumn<qint64>("order");      // -1: not known
    QTest::addColumn<qint64>("shown");      // what the page showed refunded; -1: not known
    QTest::addColumn<qint64>("now");        // refunded, read fresh
    QTest::addColumn<QString>("expected");  // "" = may go out; else a part of what the cashier reads
    QTest::newRow("nothing changed, fits") << 2000LL << 6000LL << 0LL << 0LL << "";
    QTest::newRow("another PC refunded since the page was read") << 2000LL << 6000LL << 0LL << 2000LL << "40.00";
    QTest::newRow("exactly what is left") << 4000LL << 6000LL << 2000LL << 2000LL << "";
    QTest::newRow("one fen above what is left") << 4001LL << 6000LL << 2000LL << 2000LL << "还可退的 40.00";
    QTest::newRow("page did not know, above what is left") << 5000LL << 6000LL << -1LL << 2000LL << "40.00";
    QTest::newRow("all refunded already") << 100LL << 6000LL << 6000LL << 6000LL << "全部退款";
    QTest::newRow("order amount unknown, nothing changed") << 100LL << -1LL << 0LL << 0LL << "";
}

void TestJournal::refundAgainstWhatIsRefundedNow() {
    QFETCH(qint64, refund);
    QFETCH(qint64, order);
    QFETCH(qint64, shown);
    QFETCH(qint64, now);
    QFETCH(QString, expected);
    const auto known = [](qint64 v) { return v < 0 ? std::nullopt : std::optional<qint64>(v); };
    const QString text = refundAgainstNow(refund, known(order), known(shown), now);
    QCOMPARE(text.isEmpty(), expected.isEmpty());
    QVERIFY2(text.contains(expected), qPrintable(text));
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

void TestJournal::firstSchemaUpgradedInPlace() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    runSql(path,
           "CREATE TABLE attempts (id INTEGER PRIMARY KEY AUTOINCREMENT, sale_id TEXT NOT NULL, kind TEXT NOT NULL,"
           " fen INTEGER NOT NULL, shop_id TEXT NOT NULL, cashier_id TEXT NOT NULL, masked_code TEXT NOT NULL,"
           " order_no TEXT NOT NULL DEFAULT '', created_ms INTEGER NOT NULL, created_at TEXT NOT NULL, settled_ms"
           " INTEGER, settled_at TEXT, state TEXT NOT NULL, note TEXT NOT NULL DEFAULT '', released_by TEXT NOT NULL"
           " DEFAULT '');"
           "INSERT INTO attempts VALUES (1, 'refund:R1', 'refund', 500, '7', '42', '', 'R1', 1, 'x', NULL, NULL,"
           " 'unresolved', 'refunded_before=300', '');"
           "INSERT INTO attempts VALUES (2, 'S1', 'charge', 900, '7', '42', '****0001', 'O1', 2, 'x', 3, 'x', 'paid',"
           " '', '');"
           "PRAGMA user_version=1;");
    auto opened = Journal::openFile(path);
    QVERIFY2(opened.journal && opened.movedAsideTo.isEmpty(), qPrintable(opened.error));
    const Attempt refund = *opened.journal->attempt(1);
    QCOMPARE(refund.refundedBefore, std::optional<qint64>(300));
    QCOMPARE(refund.note, QString());
    QVERIFY(refund.owner.isEmpty());
    QCOMPARE(refund.state, State::Unresolved);
    QCOMPARE(opened.journal->attempt(2)->orderNo, QString("O1"));
    QVERIFY(opened.journal->begin(charge("S3"), nullptr).has_value());
}

void TestJournal::unreadableFileKeepsItsOpenAttempts() {
    QTemporaryDir dir;
    const QString path = dir.filePath("payments.db");
    {
        auto j = Journal::openFile(path).journal;
        j->begin(charge("S1"), nullptr);
        Attempt refund = charge("refund:R1");
        refund.kind = Kind::Refund;
        refund.orderNo = "R1";
        refund.refundedBefore = 200;
        j->begin(refund, nullptr);
    }
    runSql(path, "PRAGMA user_version=99;");  // unreadable to this version, rows still there
    auto opened = Journal::openFile(path);
    QVERIFY(opened.journal && !opened.movedAsideTo.isEmpty());
    QCOMPARE(opened.carried, 2);
    QVERIFY(!opened.openMayBeLost);
    const QList<Attempt> open = opened.journal->open(QString());
    QCOMPARE(open.size(), 2);
    QCOMPARE(open.at(0).state, State::Unresolved);
    QCOMPARE(open.at(1).refundedBefore, std::optional<qint64>(200));
    QCOMPARE(open.at(0).owner, opened.journal->self());  // carried with its owner
    QVERIFY(!opened.journal->begin(charge("S2"), nullptr).has_value());
    QVERIFY(!opened.journal->lookBackSince(1250).has_value());

    // Nothing readable: the first charge of each amount looks back once.
    QFile garbage(path);
    opened.journal.reset();
    QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("not a journal");
    garbage.close();
    QFile::remove(path + "-wal");
    auto lost = Journal::openFile(path);
    QVERIFY(lost.journal && lost.openMayBeLost);
    QVERIFY(lost.journal->lookBackSince(1250).has_value());
    QVERIFY(lost.journal->lookedBack(1250));
    QVERIFY(!lost.journal->lookBackSince(1250).has_value());
    QVERIFY(lost.journal->lookBackSince(990).has_value());

    // A journal this user may not use as a file is not moved aside.
    QTemporaryDir other;
    QVERIFY(QDir(other.path()).mkdir("payments.db"));
    auto folder = Journal::openFile(other.filePath("payments.db"));
    QVERIFY(!folder.journal);
    QVERIFY(folder.movedAsideTo.isEmpty());
    QVERIFY(QFileInfo(other.filePath("payments.db")).isDir());
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
#ifdef Q_OS_WIN
    QSKIP("Windows keeps a user's files private by the access list of the user's own folder, not by mode bits");
#endif
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
        // Refunds of one order each: open ones of different orders may stand side by side.
        Attempt a = charge(stateName(outcome), old);
        a.kind = Kind::Refund;
        a.orderNo = stateName(outcome);
        const qint64 id = j->begin(a, nullptr).value_or(0);
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
    std::unique_ptr<Journal> opened;
    const QString moved = openAtStartup(dir.path(), &opened);
    QVERIFY(opened);
    QVERIFY2(moved.contains("payments.db.broken-"), qPrintable(moved));
    QCOMPARE(openAtStartup(dir.path(), &opened), QString());
    QVERIFY(opened);

    QVERIFY(!openAtStartup(dir.filePath("payments.db"), &opened).isEmpty());  // a file where the folder should be
    QVERIFY(!opened);
}

void TestJournal::refundLookup_data() {
    QTest::addColumn<qint64>("before");
    QTest::addColumn<qint64>("refund");
    QTest::addColumn<qint64>("now");  // -1: the order could not be read
    QTest::addColumn<int>("verdict");
    const int through = int(RefundLookup::WentThrough);
    const int notYet = int(RefundLookup::NotYet);
    const int unexplained = int(RefundLookup::Unexplained);
    const int unreadable = int(RefundLookup::Unreadable);
    QTest::newRow("rose by the refund") << qint64(0) << qint64(500) << qint64(500) << through;
    QTest::newRow("rose by the refund after an earlier one") << qint64(200) << qint64(500) << qint64(700) << through;
    QTest::newRow("rose by more (another till's refund too)")
        << qint64(200) << qint64(500) << qint64(900) << unexplained;
    QTest::newRow("unchanged: not known yet") << qint64(200) << qint64(500) << qint64(200) << notYet;
    QTest::newRow("rose by less") << qint64(0) << qint64(500) << qint64(300) << unexplained;
    QTest::newRow("fell") << qint64(300) << qint64(500) << qint64(0) << unexplained;
    QTest::newRow("order not read") << qint64(0) << qint64(500) << qint64(-1) << unreadable;
    QTest::newRow("amount before not kept") << qint64(-1) << qint64(500) << qint64(500) << unreadable;
}

void TestJournal::refundLookup() {
    QFETCH(qint64, before);
    QFETCH(qint64, refund);
    QFETCH(qint64, now);
    QFETCH(int, verdict);
    const auto known = [](qint64 v) { return v < 0 ? std::nullopt : std::optional<qint64>(v); };
    QCOMPARE(int(judgeRefundLookup(known(before), refund, known(now))), verdict);
}

void TestJournal::openRefundsAtSignIn_data() {
    QTest::addColumn<QList<Attempt>>("open");
    QTest::addColumn<QStringList>("told");  // what the notice must hold; empty: no notice
    QTest::addColumn<QStringList>("notTold");
    const auto refund = [](State state, const QString& order, const QString& shop) {
        Attempt a = attemptOf(Kind::Refund, state, order);
        a.fen = 500;
        a.shopId = shop;
        return a;
    };
    QTest::newRow("nothing open") << QList<Attempt>{} << QStringList{} << QStringList{};
    QTest::newRow("an open charge is the charge window's")
        << QList<Attempt>{attemptOf(Kind::Charge, State::Unresolved)} << QStringList{} << QStringList{};
    QTest::newRow("settled refunds") << QList<Attempt>{refund(State::Paid, "R1", "7"),
                                                       refund(State::Released, "R2", "7")}
                                     << QStringList{} << QStringList{};
    QTest::newRow("sending and unresolved, this store")
        << QList<Attempt>{refund(State::Sending, "R1", "7"), refund(State::Unresolved, "R2", "7"),
                          refund(State::Paid, "R3", "7")}
        << QStringList{"R1", "R2", "5.00", "西湖店"} << QStringList{"R3", "不是当前门店"};
    QTest::newRow("another store, named or not")
        << QList<Attempt>{refund(State::Unresolved, "R1", "8"), refund(State::Unresolved, "R2", "9")}
        << QStringList{"R1", "东门店（不是当前门店）", "门店编号 9", "登录它的门店"} << QStringList{};
}

void TestJournal::openRefundsAtSignIn() {
    QFETCH(QList<Attempt>, open);
    QFETCH(QStringList, told);
    QFETCH(QStringList, notTold);
    const QMap<QString, QString> stores{{"7", "西湖店"}, {"8", "东门店"}};
    const QString text = openRefundsNotice(
        open, "7", [&stores](const QString& id) { return stores.value(id); }, gateway::defaultZone());
    QCOMPARE(text.isEmpty(), told.isEmpty());
    for (const QString& t : told) {
        QVERIFY2(text.contains(t), qPrintable(t + " not in: " + text));
    }
    for (const QString& t : notTold) {
        QVERIFY2(!text.contains(t), qPrintable(t + " in: " + text));
    }
}

// The till's rules over its earlier attempts: which charges a new one of 12.50 looks back for (stores 7 and 8
// listable), and which earlier refund of an order the refunded amount now shows went through.
void TestJournal::tillRules_data() {
    QTest::addColumn<QStringList>("there");
    QTest::addColumn<qint64>("refundedNow");  // -1: the look-back rule
    QTest::addColumn<QList<qint64>>("ids");   // looked back for, oldest first; or the refund that went through
    const QList<qint64> none;
    QTest::newRow("refused in another window") << QStringList{"c refused 1250 7 5 S1"} << -1LL << QList<qint64>{1};
    QTest::newRow("released ticket sale, other store")
        << QStringList{"t released 1250 8 5 S1"} << -1LL << QList<qint64>{1};
    QTest::newRow("another amount, refunds")
        << QStringList{"c refused 990 7 5 S1", "r refused 1250 7 5 R"} << -1LL << none;
    QTest::newRow("never left, or paid") << QStringList{"c not_sent 1250 7 5 S1", "c paid 1250 7 4 S2"} << -1LL << none;
    QTest::newRow("its sale paid later") << QStringList{"c refused 1250 7 5 S1", "c paid 1250 7 4 S1"} << -1LL << none;
    QTest::newRow("past the half hour, unlistable store")
        << QStringList{"c refused 1250 7 31 S1", "c refused 1250 9 5 S2"} << -1LL << none;
    QTest::newRow("oldest first") << QStringList{"c released 1250 7 2 S2", "c refused 1250 7 20 S1"} << -1LL
                                  << QList<qint64>{2, 1};
    QTest::newRow("refund released, amount holds it")
        << QStringList{"r released 5000 7 3 R 0"} << 5000LL << QList<qint64>{1};
    QTest::newRow("refund refused, on an earlier one")
        << QStringList{"r refused 2000 7 3 R 1000"} << 3000LL << QList<qint64>{1};
    QTest::newRow("refund released, amount unchanged or moved")
        << QStringList{"r released 5000 7 3 R 0", "r released 100 7 3 R 0"} << 3000LL << none;
    QTest::newRow("refund never left, or its base not kept")
        << QStringList{"r not_sent 5000 7 3 R 0", "r released 5000 7 3 R"} << 5000LL << none;
    // A refund done since was judged against the same amount: the release before it is settled by it.
    QTest::newRow("a done refund after it")
        << QStringList{"r released 5000 7 3 R 0", "r paid 5000 7 2 R 0"} << 5000LL << none;
}

void TestJournal::tillRules() {
    QFETCH(QStringList, there);
    QFETCH(qint64, refundedNow);
    QFETCH(QList<qint64>, ids);
    const QDateTime now = QDateTime::currentDateTime();
    QList<qint64> got;
    if (refundedNow < 0) {
        for (const Attempt& a : lookBackFor(attempts(there, now), 1250, now, {"7", "8"})) {
            got << a.id;
        }
        // The same attempts written to a file: what the journal gives the look-back (answeredCharges, through its
        // index) keeps the same ones.
        QTemporaryDir dir;
        auto j = Journal::openFile(dir.filePath("payments.db")).journal;
        QVERIFY(j);
        for (Attempt a : attempts(there, now)) {
            a.orderNo = a.kind == Kind::Refund ? a.saleId : QString();
            QString error;
            const qint64 id = j->begin(a, &error).value_or(0);
            const bool settled =
                a.state == State::Released
                    ? j->settle(id, State::Unresolved, QString(), QString(), &error) && j->release(id, "42", &error)
                    : j->settle(id, a.state, QString(), QString(), &error);
            QVERIFY2(settled, qPrintable(error));
        }
        const QDateTime from = now.addSecs(-60 * kLookBackMinutes - 1);
        QList<qint64> stored;
        for (const Attempt& a : lookBackFor(j->answeredCharges(1250, from, now.addSecs(1)), 1250, now, {"7", "8"})) {
            stored << a.id;
        }
        QCOMPARE(stored, ids);
    } else if (const std::optional<Attempt> done = earlierRefundThatWentThrough(attempts(there, now), refundedNow)) {
        got << done->id;
    }
    QCOMPARE(got, ids);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"

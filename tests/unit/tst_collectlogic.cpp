#include "app/money.h"
#include "collect/collectlogic.h"

#include <QtTest>

using namespace collect;

Q_DECLARE_METATYPE(std::optional<qint64>)
Q_DECLARE_METATYPE(collect::CollectCheck)

class TestCollectLogic : public QObject {
    Q_OBJECT

private slots:
    void thousandths_data();
    void thousandths();
    void cents_data();
    void cents();
    void collectCheck_data();
    void collectCheck();
    void keypadSum_data();
    void keypadSum();
    void ticketSelection_data();
    void ticketSelection();
    void ticketCount_data();
    void ticketCount();
};

void TestCollectLogic::thousandths_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint64>>("expected");
    QTest::newRow("whole") << "100" << std::optional<qint64>(100000);
    QTest::newRow("two decimals") << "12.34" << std::optional<qint64>(12340);
    QTest::newRow("one decimal") << "12.5" << std::optional<qint64>(12500);
    QTest::newRow("trailing point") << "12." << std::optional<qint64>(12000);
    QTest::newRow("leading point") << ".5" << std::optional<qint64>(500);
    QTest::newRow("third decimal kept") << "0.009" << std::optional<qint64>(9);
    QTest::newRow("past thousandths cut") << "1.23456" << std::optional<qint64>(1234);
    QTest::newRow("serial carriage return") << "12.50\r" << std::optional<qint64>(12500);
    QTest::newRow("large, not a float") << "1234567.89" << std::optional<qint64>(1234567890);
    QTest::newRow("leading zeros") << "000012.3" << std::optional<qint64>(12300);
    QTest::newRow("empty") << "" << std::optional<qint64>();
    QTest::newRow("point only") << "." << std::optional<qint64>();
    QTest::newRow("letters") << "12a" << std::optional<qint64>();
    QTest::newRow("exponent") << "1e5" << std::optional<qint64>();
    QTest::newRow("negative") << "-5" << std::optional<qint64>();
    QTest::newRow("two points") << "1.2.3" << std::optional<qint64>();
    QTest::newRow("too large") << "9999999999999" << std::optional<qint64>();
}

void TestCollectLogic::thousandths() {
    QFETCH(QString, text);
    QFETCH(std::optional<qint64>, expected);
    QCOMPARE(money::yuanTextToThousandths(text), expected);
}

void TestCollectLogic::cents_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("mode");
    QTest::addColumn<qint64>("chargedFen");
    QTest::addColumn<QString>("shown");
    // Round to the jiao only from 5 fen up; below that the fen stay.
    QTest::newRow("round keeps 12.34") << "12.34" << 1 << qint64(1234) << "12.34元";
    QTest::newRow("round 12.35 up") << "12.35" << 1 << qint64(1240) << "12.4元";
    QTest::newRow("round 12.39 up") << "12.39" << 1 << qint64(1240) << "12.4元";
    QTest::newRow("round 12.95 into the yuan") << "12.95" << 1 << qint64(1300) << "13元";
    QTest::newRow("round 0.049 stays") << "0.049" << 1 << qint64(5) << "0.05元";
    QTest::newRow("drop 12.39") << "12.39" << 2 << qint64(1230) << "12.3元";
    QTest::newRow("drop 0.09 to nothing") << "0.09" << 2 << qint64(0) << "0元";
    QTest::newRow("drop 100") << "100" << 2 << qint64(10000) << "100元";
    QTest::newRow("keep 100") << "100" << 0 << qint64(10000) << "100元";
    QTest::newRow("keep 12.30 shows 12.3") << "12.30" << 0 << qint64(1230) << "12.3元";
    // The payment window shows every fen it charges.
    QTest::newRow("keep 12345.67 exact") << "12345.67" << 0 << qint64(1234567) << "12345.67元";
    QTest::newRow("keep 1234567.89 exact") << "1234567.89" << 0 << qint64(123456789) << "1234567.89元";
    QTest::newRow("keep three decimals half up") << "12.345" << 0 << qint64(1235) << "12.35元";
    QTest::newRow("unknown mode keeps") << "12.39" << 7 << qint64(1239) << "12.39元";
    QTest::newRow("negative mode keeps") << "12.39" << -1 << qint64(1239) << "12.39元";
}

void TestCollectLogic::cents() {
    QFETCH(QString, amount);
    QFETCH(int, mode);
    QFETCH(qint64, chargedFen);
    QFETCH(QString, shown);
    const std::optional<qint64> fen = chargeFen(amount, mode);
    QVERIFY(fen.has_value());
    QCOMPARE(*fen, chargedFen);
    QCOMPARE(chargeDisplayText(*fen), shown);
    // The ticket page's total, already in fen, gets the same rule.
    if (const std::optional<qint64> whole = money::yuanTextToFenExact(amount)) {
        QCOMPARE(chargeFenOf(*whole, mode), fen);
    }
}

void TestCollectLogic::collectCheck_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("mode");
    QTest::addColumn<CollectCheck>("expected");
    QTest::newRow("empty") << "" << 0 << CollectCheck::Empty;
    QTest::newRow("0") << "0" << 0 << CollectCheck::Zero;
    QTest::newRow("0.00") << "0.00" << 0 << CollectCheck::Zero;
    QTest::newRow("00") << "00" << 0 << CollectCheck::Zero;
    QTest::newRow("0.") << "0." << 0 << CollectCheck::Zero;
    QTest::newRow("0.0001 is below a thousandth") << "0.0001" << 0 << CollectCheck::Zero;
    QTest::newRow("0.001 charges 0 fen") << "0.001" << 0 << CollectCheck::Zero;
    QTest::newRow("0.005 rounds up to a fen") << "0.005" << 0 << CollectCheck::Ok;
    QTest::newRow("dropping the fen leaves nothing") << "0.09" << 2 << CollectCheck::Zero;
    QTest::newRow("0.01") << "0.01" << 0 << CollectCheck::Ok;
    QTest::newRow("12.50") << "12.50" << 0 << CollectCheck::Ok;
    QTest::newRow("text from the serial bridge") << "abc" << 0 << CollectCheck::Invalid;
}

void TestCollectLogic::collectCheck() {
    QFETCH(QString, field);
    QFETCH(int, mode);
    QFETCH(CollectCheck, expected);
    qint64 fen = -1;
    QCOMPARE(checkCollectAmount(field, mode, &fen), expected);
    QCOMPARE(fen, expected == CollectCheck::Ok ? chargeFen(field, mode).value_or(-2) : qint64(-1));
}

void TestCollectLogic::keypadSum_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("sum");
    QTest::newRow("whole") << "12"
                           << "3"
                           << "15.00";
    QTest::newRow("fen") << "0.10"
                         << "0.20"
                         << "0.30";
    // Single-precision floats cannot hold these; whole fen can.
    QTest::newRow("large sum keeps the fen") << "1234567.89"
                                             << "0.01"
                                             << "1234567.90";
    QTest::newRow("larger") << "9876543.21"
                            << "1234567.89"
                            << "11111111.10";
    QTest::newRow("three decimals round per addend") << "1.005"
                                                     << "1.005"
                                                     << "2.02";
    QTest::newRow("unreadable addend counts 0") << "abc"
                                                << "5"
                                                << "5.00";
}

void TestCollectLogic::keypadSum() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, sum);
    QCOMPARE(keypadSumText(keypadAddendFen(first), keypadAddendFen(second)), sum);
}

void TestCollectLogic::ticketSelection_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<qint64>>("prices");  // fen
    QTest::addColumn<QString>("selection");
    QTest::addColumn<qint64>("totalFen");
    QTest::newRow("two adults one child")
        << QList<int>{3, 7} << QList<int>{2, 1} << QList<qint64>{2000, 1000} << "3:2,7:1," << qint64(5000);
    QTest::newRow("zero counts left out")
        << QList<int>{1, 2, 3} << QList<int>{0, 4, 0} << QList<qint64>{500, 1250, 800} << "2:4," << qint64(5000);
    QTest::newRow("nothing selected") << QList<int>{1, 2} << QList<int>{0, 0} << QList<qint64>{500, 600} << ""
                                      << qint64(0);
    QTest::newRow("no kinds") << QList<int>{} << QList<int>{} << QList<qint64>{} << "" << qint64(0);
    // 12345.67 must be charged in full, not as six significant digits.
    QTest::newRow("exact large total") << QList<int>{9} << QList<int>{1} << QList<qint64>{1234567} << "9:1,"
                                       << qint64(1234567);
    QTest::newRow("binary-unfriendly price x count")
        << QList<int>{4} << QList<int>{3} << QList<qint64>{10} << "4:3," << qint64(30);
    QTest::newRow("order kept, not sorted")
        << QList<int>{8, 2} << QList<int>{1, 1} << QList<qint64>{100, 100} << "8:1,2:1," << qint64(200);
}

void TestCollectLogic::ticketSelection() {
    QFETCH(QList<int>, ids);
    QFETCH(QList<int>, counts);
    QFETCH(QList<qint64>, prices);
    QFETCH(QString, selection);
    QFETCH(qint64, totalFen);
    QList<TicketLine> lines;
    for (int i = 0; i < ids.size(); ++i) {
        lines.append({ids.at(i), counts.at(i), prices.at(i)});
    }
    QCOMPARE(collect::ticketSelection(lines), selection);
    QCOMPARE(ticketTotalFen(lines), totalFen);
}

void TestCollectLogic::ticketCount_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("digits") << "3" << 3;
    QTest::newRow("leading zero") << "007" << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("beyond int") << "99999999999" << 0;
    QTest::newRow("not a number") << "x" << 0;
}

void TestCollectLogic::ticketCount() {
    QFETCH(QString, text);
    QFETCH(int, count);
    QCOMPARE(ticketCountFromText(text), count);
}

QTEST_GUILESS_MAIN(TestCollectLogic)
#include "tst_collectlogic.moc"

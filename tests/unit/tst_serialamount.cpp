// The serial bridge's rules: chunks joined into lines, the amount taken from each line that carries one.
#include "core/serialamount.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestSerialAmount : public QObject {
    Q_OBJECT

private slots:
    void linesGiveAmounts_data();
    void linesGiveAmounts();
    void amountOfALine_data();
    void amountOfALine();
    void heldBytesAreCapped();
    void quietGapTakesTheHeldBytes();
    void aLineEndStopsTheGap();
    void aCommandWithoutAmountSettles();
    void displayCommand_data();
    void displayCommand();
};

void TestSerialAmount::linesGiveAmounts_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("amounts");   // from the line ends, in order
    QTest::addColumn<QStringList>("afterGap");  // what the quiet gap then takes (none or one)
    QTest::addColumn<bool>("held");             // bytes are held for the gap

    // The POS display commands of the bridge's examples.
    QTest::newRow("ESC Q A 12.50 CR") << QList<QByteArray>{testsupport::hex("1b514131322e35300d")}
                                      << QStringList{"12.50"} << QStringList{} << false;
    QTest::newRow("12.50 CR: the first byte counts")
        << QList<QByteArray>{testsupport::hex("31322e35300d")} << QStringList{"12.50"} << QStringList{} << false;
    QTest::newRow("a single digit") << QList<QByteArray>{testsupport::hex("38")} << QStringList{} << QStringList{"8"}
                                    << true;

    // Display commands without an amount: complete at their last byte, nothing held, the amount left as it is.
    QTest::newRow("lamp ESC s 1") << QList<QByteArray>{testsupport::hex("1b7331")} << QStringList{} << QStringList{}
                                  << false;
    QTest::newRow("total, then the total lamp") << QList<QByteArray>{QByteArray("\x1bQA12.50\r"), QByteArray("\x1bs2")}
                                                << QStringList{"12.50"} << QStringList{} << false;
    QTest::newRow("total and lamp in one chunk")
        << QList<QByteArray>{QByteArray("\x1bQA12.50\r\x1bs2")} << QStringList{"12.50"} << QStringList{} << false;
    QTest::newRow("lamp split over chunks") << QList<QByteArray>{QByteArray("\x1b"), QByteArray("s"), QByteArray("4")}
                                            << QStringList{} << QStringList{} << false;
    QTest::newRow("lamp ended by CR") << QList<QByteArray>{QByteArray("\x1bs3\r")} << QStringList{} << QStringList{}
                                      << false;
    QTest::newRow("initialise ESC @") << QList<QByteArray>{QByteArray("\x1b@")} << QStringList{} << QStringList{}
                                      << false;
    QTest::newRow("clear FF") << QList<QByteArray>{testsupport::hex("0c")} << QStringList{} << QStringList{} << false;
    QTest::newRow("clear CAN, then CR") << QList<QByteArray>{testsupport::hex("180d")} << QStringList{} << QStringList{}
                                        << false;
    QTest::newRow("clear display after a total") << QList<QByteArray>{QByteArray("\x1bQA8.80\r"), QByteArray("\x0c\r")}
                                                 << QStringList{"8.80"} << QStringList{} << false;
    QTest::newRow("initialise, lamp, then the amount")
        << QList<QByteArray>{QByteArray("\x1b@\x1bs2\x1bQA5.60\r")} << QStringList{"5.60"} << QStringList{} << false;
    QTest::newRow("lamp digit not joined to the amount after it")
        << QList<QByteArray>{QByteArray("\x1bs212.50\r")} << QStringList{"12.50"} << QStringList{} << false;
    QTest::newRow("lamp inside an amount line without CR")
        << QList<QByteArray>{QByteArray("\x1bQA9.90\x1bs2")} << QStringList{} << QStringList{"9.90"} << true;
    QTest::newRow("upper line text is not the amount")
        << QList<QByteArray>{QByteArray("\x1bQBNO 17\r")} << QStringList{} << QStringList{} << false;
    QTest::newRow("plain text without a digit")
        << QList<QByteArray>{QByteArray("THANK YOU\r")} << QStringList{} << QStringList{} << false;
    QTest::newRow("ESC Q A without a digit blanks the amount")
        << QList<QByteArray>{QByteArray("\x1bQA\r")} << QStringList{""} << QStringList{} << false;
    QTest::newRow("two messages in one chunk") << QList<QByteArray>{testsupport::hex("31322e35300d372e30300d")}
                                               << QStringList{"12.50", "7.00"} << QStringList{} << false;

    QTest::newRow("message split over two chunks")
        << QList<QByteArray>{testsupport::hex("1b514132"), testsupport::hex("352e30300d")} << QStringList{"25.00"}
        << QStringList{} << false;
    QTest::newRow("one byte per chunk") << QList<QByteArray>{"\x1b", "Q", "A", "9", ".", "9", "9", "\r"}
                                        << QStringList{"9.99"} << QStringList{} << false;
    QTest::newRow("a message and the start of the next")
        << QList<QByteArray>{QByteArray("\x1bQA3.00\r\x1bQA1"), QByteArray("5.20\r")} << QStringList{"3.00", "15.20"}
        << QStringList{} << false;
    QTest::newRow("line feed ends a line")
        << QList<QByteArray>{QByteArray("\x1bQA4.10\n")} << QStringList{"4.10"} << QStringList{} << false;
    QTest::newRow("CR LF is one line end")
        << QList<QByteArray>{QByteArray("\x1bQA4.10\r\n")} << QStringList{"4.10"} << QStringList{} << false;
    QTest::newRow("CR and LF in different chunks") << QList<QByteArray>{QByteArray("\x1bQA4.10\r"), QByteArray("\n")}
                                                   << QStringList{"4.10"} << QStringList{} << false;
    QTest::newRow("a line, then bytes without CR")
        << QList<QByteArray>{QByteArray("\x1bQA12.50\r\x1bQA6")} << QStringList{"12.50"} << QStringList{"6"} << true;
    QTest::newRow("without CR over several chunks")
        << QList<QByteArray>{QByteArray("\x1bQA1"), QByteArray("2.5"), QByteArray("0")} << QStringList{}
        << QStringList{"12.50"} << true;
    QTest::newRow("empty chunk") << QList<QByteArray>{QByteArray()} << QStringList{} << QStringList{} << false;
    QTest::newRow("only line ends") << QList<QByteArray>{QByteArray("\r\n\r\n")} << QStringList{} << QStringList{}
                                    << false;
    QTest::newRow("long line past the cap keeps its end")
        << QList<QByteArray>{QByteArray(300, 'x'), QByteArray("\x1bQA31.40")} << QStringList{} << QStringList{"31.40"}
        << true;
    QTest::newRow("cap drops the oldest digits")
        << QList<QByteArray>{QByteArray("7"), QByteArray(SerialAmountAssembler::kMaxHeld, 'x')} << QStringList{}
        << QStringList{} << true;
    QTest::newRow("a long ended line still gives its amount")
        << QList<QByteArray>{QByteArray(1000, ' ') + "\x1bQA2.00\r"} << QStringList{"2.00"} << QStringList{} << false;
}

void TestSerialAmount::linesGiveAmounts() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, amounts);
    QFETCH(QStringList, afterGap);
    QFETCH(bool, held);
    SerialAmountAssembler assembler;
    QStringList seen;
    for (const QByteArray& chunk : chunks) {
        seen += assembler.feed(chunk);
    }
    QCOMPARE(seen, amounts);
    QCOMPARE(assembler.holding(), held);
    const std::optional<QString> flushed = assembler.flush();
    QCOMPARE(flushed.has_value(), !afterGap.isEmpty());
    if (flushed) {
        QCOMPARE(*flushed, afterGap.first());
    }
    // A flush takes the held bytes once.
    QVERIFY(!assembler.holding());
    QVERIFY(!assembler.flush());
}

void TestSerialAmount::amountOfALine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("amount");
    QTest::newRow("display command") << QByteArray("\x1bQA12.50") << "12.50";
    QTest::newRow("text after the amount") << QByteArray("TOTAL 8.00 YUAN") << "8.00";
    QTest::newRow("points after the last digit") << QByteArray("12.50.") << "12.50";
    QTest::newRow("several points stay") << QByteArray("1.2.3") << "1.2.3";
    QTest::newRow("leading point stays") << QByteArray("\x1bQA.5") << ".5";
    QTest::newRow("the last run wins") << QByteArray("3 x 2.00 = 6.00") << "6.00";
    QTest::newRow("digits only") << QByteArray("100") << "100";
    QTest::newRow("no digit") << QByteArray("\x1bQA. .") << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("high bytes") << QByteArray("\xb9\xb2 9.90\xd4\xaa") << "9.90";
}

void TestSerialAmount::amountOfALine() {
    QFETCH(QByteArray, line);
    QFETCH(QString, amount);
    QCOMPARE(SerialAmountAssembler::amountOf(line), amount);
}

void TestSerialAmount::heldBytesAreCapped() {
    SerialAmountAssembler assembler;
    for (int i = 0; i < 100; ++i) {
        assembler.feed(QByteArray(50, 'x'));
        QVERIFY(assembler.held().size() <= SerialAmountAssembler::kMaxHeld);
    }
    assembler.feed(QByteArray("\x1bQA5.55"));
    QCOMPARE(assembler.held().size(), SerialAmountAssembler::kMaxHeld);
    QVERIFY(assembler.held().endsWith("5.55"));
}

void TestSerialAmount::quietGapTakesTheHeldBytes() {
    // A gap long enough for the steps below on a busy machine; a stall longer than that says nothing of the rule.
    SerialAmountReader reader(nullptr, 300);
    QSignalSpy spy(&reader, &SerialAmountReader::amountReady);
    reader.feed(QByteArray("\x1bQA1"));
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    QVERIFY(testsupport::waitPast(200));
    if (sinceFirst.elapsed() >= 280) {
        QSKIP("the machine stalled for as long as the quiet gap");
    }
    QCOMPARE(spy.count(), 0);
    reader.feed(QByteArray("9.50"));  // a new byte restarts the gap
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    QVERIFY(testsupport::waitPast(200));  // past the end of the first gap
    if (sinceSecond.elapsed() < 280) {
        QCOMPARE(spy.count(), 0);
        QVERIFY(reader.holding());
    }
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toString(), QStringLiteral("19.50"));
    QVERIFY(!reader.holding());
}

void TestSerialAmount::aLineEndStopsTheGap() {
    SerialAmountReader reader(nullptr, 40);
    QSignalSpy spy(&reader, &SerialAmountReader::amountReady);
    reader.feed(QByteArray("\x1bQA2"));
    reader.feed(QByteArray("2.00\r"));
    QCOMPARE(spy.count(), 1);  // at once, without waiting for the gap
    QCOMPARE(spy.first().first().toString(), QStringLiteral("22.00"));
    QVERIFY(testsupport::waitPast(60));  // past the gap: a gap left running would have ended first
    QCOMPARE(spy.count(), 1);

    // Bytes held when the port closes are not taken as a line later.
    reader.feed(QByteArray("\x1bQA7"));
    reader.reset();
    QVERIFY(testsupport::waitPast(60));
    QCOMPARE(spy.count(), 1);
}

void TestSerialAmount::aCommandWithoutAmountSettles() {
    SerialAmountReader reader(nullptr, 60000);
    QSignalSpy amounts(&reader, &SerialAmountReader::amountReady);
    QSignalSpy settled(&reader, &SerialAmountReader::settled);
    reader.feed(QByteArray("\x1b"));  // could still be an amount
    QVERIFY(reader.holding());
    QCOMPARE(settled.count(), 0);
    reader.feed(QByteArray("s2"));  // the total lamp: done, without an amount and without waiting for the gap
    QVERIFY(!reader.holding());
    QCOMPARE(settled.count(), 1);
    QCOMPARE(amounts.count(), 0);
}

// What the client writes to the customer display for a keyed amount, and that the bridge reads the same amount back
// out of it (a display port looped to the software port must not change the sum).
void TestSerialAmount::displayCommand_data() {
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("12.50") << qint64(1250) << testsupport::hex("1b73321b514131322e35300d") << QStringLiteral("12.50");
    QTest::newRow("one fen") << qint64(1) << QByteArray("\x1bs2\x1bQA0.01\r") << QStringLiteral("0.01");
    QTest::newRow("whole yuan") << qint64(700) << QByteArray("\x1bs2\x1bQA7.00\r") << QStringLiteral("7.00");
    QTest::newRow("large") << qint64(123456789) << QByteArray("\x1bs2\x1bQA1234567.89\r")
                           << QStringLiteral("1234567.89");
    QTest::newRow("negative is not shown") << qint64(-5) << QByteArray() << QString();
}

void TestSerialAmount::displayCommand() {
    QFETCH(qint64, fen);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);
    QCOMPARE(poledisplay::totalCommand(fen), bytes);
    SerialAmountAssembler assembler;
    const QStringList amounts = assembler.feed(bytes);
    QCOMPARE(amounts, readBack.isEmpty() ? QStringList() : QStringList{readBack});
    // Clearing leaves no amount on the line for a reader to take.
    QVERIFY(!poledisplay::clearCommand().contains('\r'));
}

QTEST_GUILESS_MAIN(TestSerialAmount)
#include "tst_serialamount.moc"

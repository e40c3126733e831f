// Bytes from the POS in arbitrary chunks: the serial bridge joins them into lines and takes the amount of each line
// that carries one. However the stream is cut into chunks, the amounts are those of its lines read whole; a line of
// plain text gives the last run of digits and points in it (an independent pattern), and the amount page's parser
// takes every amount without harm.
#include "app/money.h"
#include "collect/collectlogic.h"
#include "fuzz/fuzzcheck.h"
#include "core/serialamount.h"

#include <QRegularExpression>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

// The amount of one line by pattern: the run of digits and points that ends with the line's last digit.
QString expectedAmount(const QByteArray& line) {
    static const QRegularExpression lastRun(QStringLiteral("([0-9.]*[0-9])[^0-9]*\\z"));
    // (data and size: the QByteArray overload would stop at a NUL byte)
    return lastRun.match(QString::fromLatin1(line.constData(), line.size())).captured(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    QList<QByteArray> chunks;
    QByteArray stream;
    while (in.remaining_bytes() > 0) {
        const std::string chunk = in.ConsumeRandomLengthString(300);
        chunks.append(QByteArray(chunk.data(), static_cast<int>(chunk.size())));
        stream += chunks.last();
    }

    SerialAmountAssembler assembler;
    QStringList amounts;
    for (const QByteArray& chunk : chunks) {
        amounts += assembler.feed(chunk);
        FUZZ_CHECK(assembler.held().size() <= SerialAmountAssembler::kMaxHeld);
    }
    if (const std::optional<QString> last = assembler.flush()) {
        amounts.append(*last);
    }
    FUZZ_CHECK(!assembler.holding());

    // The stream read whole: lines end at CR or LF, and only lines with bytes in them count.
    QList<QByteArray> lines;
    bool allShort = true;
    QByteArray line;
    for (const char c : stream + '\n') {
        if (c == '\r' || c == '\n') {
            if (!line.isEmpty()) {
                lines.append(line);
                allShort = allShort && line.size() <= SerialAmountAssembler::kMaxHeld;
                line.clear();
            }
        } else {
            line.append(c);
        }
    }
    QStringList expected;
    for (const QByteArray& whole : lines) {
        const std::optional<QString> amount = SerialAmountAssembler::lineAmount(whole);
        if (amount) {
            expected.append(*amount);
        }
        // A line of plain text (no display command in it) carries an amount exactly when it has a digit.
        const bool plain = !whole.contains('\x1b') && !whole.contains('\x0c') && !whole.contains('\x18');
        if (plain) {
            const QString byPattern = expectedAmount(whole);
            FUZZ_CHECK(amount.has_value() == !byPattern.isEmpty());
            FUZZ_CHECK(!amount || *amount == byPattern);
        }
    }
    // A line longer than the bridge holds loses its oldest bytes, so only short lines must match exactly: however
    // the stream is cut into chunks, the amounts are those of its lines read whole.
    if (allShort) {
        FUZZ_CHECK(amounts == expected);
    }
    for (const QString& amount : amounts) {
        FUZZ_CHECK(amount == SerialAmountAssembler::amountOf(amount.toLatin1()));
        // What the amount page does with it.
        (void)money::yuanTextToFen(amount);
        (void)collect::checkCollectAmount(amount, 0);
    }
    return 0;
}

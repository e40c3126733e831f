// Amount text from arbitrary bytes (typed, pasted or sent by the POS over the serial line), checked against an
// independent reading: a pattern for what is an amount, and the digits themselves for its value.
#include "app/money.h"
#include "collect/collectlogic.h"
#include "fuzz/fuzzcheck.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

namespace {

// Up to 12 significant digits of yuan, digits past the third decimal cut: the value as "<yuan>.<ddd>".
QString expectedThousandths(const QString& whole, const QString& frac) {
    QString yuan = whole;
    while (yuan.size() > 1 && yuan.startsWith(QLatin1Char('0'))) {
        yuan.remove(0, 1);
    }
    if (yuan.isEmpty()) {
        yuan = QStringLiteral("0");
    }
    return yuan + QLatin1Char('.') + frac.left(3).leftJustified(3, QLatin1Char('0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));

    static const QRegularExpression amount(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9]*)(?:\\.([0-9]*))?")));
    const QRegularExpressionMatch m = amount.match(text.trimmed());
    const QString whole = m.captured(1);
    const QString frac = m.captured(2);
    QString significant = whole;
    while (significant.startsWith(QLatin1Char('0'))) {
        significant.remove(0, 1);
    }
    const bool isAmount = m.hasMatch() && !(whole.isEmpty() && frac.isEmpty()) && significant.size() <= 12;

    const std::optional<qint64> t = money::yuanTextToThousandths(text);
    FUZZ_CHECK(t.has_value() == isAmount);
    const std::optional<qint64> fen = money::yuanTextToFen(text);
    FUZZ_CHECK(fen.has_value() == isAmount);
    if (t) {
        FUZZ_CHECK(*t >= 0);
        const QString shown = QStringLiteral("%1.%2").arg(*t / 1000).arg(*t % 1000, 3, 10, QLatin1Char('0'));
        FUZZ_CHECK(shown == expectedThousandths(whole, frac));
        FUZZ_CHECK(*fen == money::thousandthsToFen(*t));
        // What the screens show reads back as the same amount (".995" past 999999999999 rounds to a 13th digit,
        // which is not an amount any more: refused, as a sum that large is).
        if (*fen < 100000000000000) {
            FUZZ_CHECK(money::yuanTextToFen(money::fenToYuan2(*fen)) == fen);
            FUZZ_CHECK(money::yuanTextToFen(money::fenToYuanTrimmed(*fen)) == fen);
        }
    }

    // The gateway's fen text, and the collection rules that take amount text.
    const qint64 gatewayFen = money::fenFromText(text);
    FUZZ_CHECK(!money::fenToYuan2(gatewayFen).isEmpty());
    for (int mode = -1; mode <= 3; ++mode) {
        const std::optional<qint64> charged = collect::chargeFen(text, mode);
        FUZZ_CHECK(charged.has_value() == isAmount);
        if (charged) {
            FUZZ_CHECK(*charged >= 0);
            (void)collect::chargeDisplayText(*charged);
        }
        // The collect check lets through exactly what charges something.
        const collect::CollectCheck check = collect::checkCollectAmount(text, mode);
        FUZZ_CHECK((check == collect::CollectCheck::Ok) == (charged.has_value() && *charged > 0));
    }
    FUZZ_CHECK(collect::keypadAddendFen(text) >= 0);
    FUZZ_CHECK(collect::ticketCountFromText(text) >= 0);
    return 0;
}

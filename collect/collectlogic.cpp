#include "collect/collectlogic.h"

#include "app/money.h"

#include <limits>

namespace collect {

qint64 adjustCents(qint64 thousandths, int mode) {
    switch (mode) {
        case RoundToJiao:
            if (thousandths % 100 >= 50) {
                return (thousandths / 100 + 1) * 100;
            }
            return thousandths;
        case DropFen:
            return thousandths / 100 * 100;
        default:
            return thousandths;
    }
}

std::optional<qint64> chargeFen(const QString& amountText, int mode) {
    const std::optional<qint64> t = money::yuanTextToThousandths(amountText);
    if (!t) {
        return std::nullopt;
    }
    return money::thousandthsToFen(adjustCents(*t, mode));
}

std::optional<qint64> chargeFenOf(qint64 fen, int mode) {
    // Twelve digits of yuan, as the text reader allows.
    constexpr qint64 kBeyondFen = 100000000000000;
    if (fen < 0 || fen >= kBeyondFen) {
        return std::nullopt;
    }
    return money::thousandthsToFen(adjustCents(fen * 10, mode));
}

QString chargeDisplayText(qint64 fen) {
    return money::fenToYuanTrimmed(fen) + QStringLiteral("元");
}

CollectCheck checkCollectAmount(const QString& fieldText, int centsMode, qint64* fen) {
    if (fieldText.isEmpty()) {
        return CollectCheck::Empty;
    }
    const std::optional<qint64> charged = chargeFen(fieldText, centsMode);
    if (!charged) {
        return CollectCheck::Invalid;
    }
    if (*charged <= 0) {
        return CollectCheck::Zero;
    }
    if (fen) {
        *fen = *charged;
    }
    return CollectCheck::Ok;
}

qint64 keypadAddendFen(const QString& fieldText) {
    const std::optional<qint64> t = money::yuanTextToThousandths(fieldText);
    return t ? money::thousandthsToFen(*t) : 0;
}

QString keypadSumText(qint64 firstFen, qint64 secondFen) {
    return money::fenToYuan2(firstFen + secondFen);
}

QString ticketSelection(const QList<TicketLine>& lines) {
    QString out;
    for (const TicketLine& line : lines) {
        if (line.count > 0) {
            out += QString::number(line.id) + QLatin1Char(':') + QString::number(line.count) + QLatin1Char(',');
        }
    }
    return out;
}

qint64 ticketTotalFen(const QList<TicketLine>& lines) {
    qint64 total = 0;
    for (const TicketLine& line : lines) {
        if (line.count > 0) {
            const qint64 fen = line.priceFen;
            // Counts are ints and prices stay below 1e14 fen, but the product must not wrap silently.
            if (fen > 0 && line.count > (std::numeric_limits<qint64>::max() - total) / fen) {
                return std::numeric_limits<qint64>::max();
            }
            total += fen * line.count;
        }
    }
    return total;
}

int ticketCountFromText(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok && n > 0 ? n : 0;
}

}  // namespace collect

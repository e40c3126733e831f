#include "money.h"

namespace money {

namespace {
// Sale amounts stay far below this; it keeps thousandths (and fen x counts) clear of overflow.
constexpr int kMaxIntegerDigits = 12;
}  // namespace

std::optional<qint64> yuanTextToThousandths(const QString& yuan) {
    QString text = yuan.trimmed();  // also drops the "\r" a serial amount may end with
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const int dot = text.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? text : text.left(dot);
    const QString frac = dot < 0 ? QString() : text.mid(dot + 1);
    if (whole.isEmpty() && frac.isEmpty()) {
        return std::nullopt;
    }
    auto allDigits = [](const QString& s) {
        for (const QChar c : s) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return false;
            }
        }
        return true;
    };
    if (!allDigits(whole) || !allDigits(frac)) {
        return std::nullopt;
    }
    qint64 value = 0;
    int significant = 0;
    for (const QChar c : whole) {
        value = value * 10 + (c.unicode() - '0');
        if (value > 0 && ++significant > kMaxIntegerDigits) {
            return std::nullopt;
        }
    }
    for (int i = 0; i < 3; ++i) {
        value = value * 10 + (i < frac.size() ? frac.at(i).unicode() - '0' : 0);
    }
    return value;
}

qint64 thousandthsToFen(qint64 thousandths) {
    return (thousandths + 5) / 10;
}

std::optional<qint64> yuanTextToFen(const QString& yuan) {
    const std::optional<qint64> t = yuanTextToThousandths(yuan);
    if (!t) {
        return std::nullopt;
    }
    return thousandthsToFen(*t);
}

std::optional<qint64> yuanTextToFenExact(const QString& yuan) {
    const QString text = yuan.trimmed();
    const int dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0 && text.size() - dot - 1 > 2) {
        return std::nullopt;
    }
    const std::optional<qint64> t = yuanTextToThousandths(text);
    if (!t) {
        return std::nullopt;
    }
    return *t / 10;  // whole fen: the third decimal is always 0 here
}

QString fenToYuan2(qint64 fen) {
    const bool negative = fen < 0;
    const quint64 abs = negative ? static_cast<quint64>(-(fen + 1)) + 1 : static_cast<quint64>(fen);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(abs / 100)
        .arg(abs % 100, 2, 10, QLatin1Char('0'));
}

QString fenToYuanTrimmed(qint64 fen) {
    QString text = fenToYuan2(fen);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

qint64 fenFromText(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? v : 0;
}

}  // namespace money

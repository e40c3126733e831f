#include "money.h"

#include <QRegularExpression>

namespace money {

std::optional<qint64> yuanTextToFen(const QString& yuan) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d*)(?:\\.(\\d*))?\\s*$"));
    const QRegularExpressionMatch m = re.match(yuan);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const QString whole = m.captured(1);
    const QString frac = m.captured(2);
    if (whole.isEmpty() && frac.isEmpty()) {
        return std::nullopt;
    }
    // Larger amounts than this are not money a till takes, and would overflow.
    if (whole.size() > 15) {
        return std::nullopt;
    }
    qint64 fen = whole.isEmpty() ? 0 : whole.toLongLong() * 100;
    const QString padded = (frac + QStringLiteral("00")).left(2);
    fen += padded.toLongLong();
    // Digits past the fen round half up.
    if (frac.size() > 2 && frac.at(2) >= QLatin1Char('5')) {
        fen += 1;
    }
    return fen;
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

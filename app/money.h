#pragma once

#include <QString>
#include <optional>

// Whole fen (1/100 yuan). Screens show yuan; the wire carries fen as decimal text.
namespace money {

// Amount text as screens and the serial bridge hold it ("12", "12.5", "12.", ".5", a trailing "\r") in thousandths
// of a yuan; digits past the third decimal are cut. Exact: no floating point. nullopt when it is not a plain
// non-negative decimal number or too large to be a sale amount.
std::optional<qint64> yuanTextToThousandths(const QString& yuan);
// Thousandths of a yuan to whole fen, half up (12.345 -> 1235).
qint64 thousandthsToFen(qint64 thousandths);
// "12.5" -> 1250; digits beyond the fen are rounded half up. nullopt as for yuanTextToThousandths.
std::optional<qint64> yuanTextToFen(const QString& yuan);
// Like yuanTextToFen, but nullopt as well when the text has more than two decimals: for amounts that must be exactly
// what the cashier typed (a refund), where rounding would send a different amount.
std::optional<qint64> yuanTextToFenExact(const QString& yuan);
// 1250 -> "12.50"
QString fenToYuan2(qint64 fen);
// 1250 -> "12.5", 1200 -> "12", 1 -> "0.01" (two decimals with trailing zeros dropped)
QString fenToYuanTrimmed(qint64 fen);
// Decimal text of fen as the gateway sends it ("1250"); empty or malformed reads as 0.
qint64 fenFromText(const QString& text);

}  // namespace money

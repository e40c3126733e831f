#pragma once

#include <QString>
#include <optional>

// Whole fen (1/100 yuan). Screens show yuan; the wire carries fen as decimal text.
namespace money {

// "12.5" -> 1250. Exact decimal parsing: no floating point. Digits beyond the fen are rounded half up.
// nullopt when the text is not a plain non-negative decimal number.
std::optional<qint64> yuanTextToFen(const QString& yuan);
// 1250 -> "12.50"
QString fenToYuan2(qint64 fen);
// 1250 -> "12.5", 1200 -> "12", 1 -> "0.01" (two decimals with trailing zeros dropped)
QString fenToYuanTrimmed(qint64 fen);
// Decimal text of fen as the gateway sends it ("1250"); empty or malformed reads as 0.
qint64 fenFromText(const QString& text);

}  // namespace money

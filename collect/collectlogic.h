#pragma once

#include <QList>
#include <QString>
#include <optional>

// The money rules of collection, kept free of widgets so they can be checked row by row.
// Amounts are whole fen (or thousandths of a yuan where the cents rule needs the third decimal); never floats.
namespace collect {

// The collection setting "centsMode": 0 keep, 1 round to the jiao, 2 drop the fen; any other value keeps.
enum CentsMode { KeepCents = 0, RoundToJiao = 1, DropFen = 2 };

// The cents rule on thousandths of a yuan: mode 1 rounds up to the next jiao when the fen and their tenths reach
// 50 thousandths, and leaves the amount alone otherwise; mode 2 drops the fen; other modes keep the amount.
qint64 adjustCents(qint64 thousandths, int mode);

// The amount a charge sends, in fen, after the cents rule. nullopt for text that is not an amount.
std::optional<qint64> chargeFen(const QString& amountText, int mode);
// The same for an amount already in whole fen (the ticket page's total); nullopt for a negative amount or one beyond
// what a sale amount can be, as for text.
std::optional<qint64> chargeFenOf(qint64 fen, int mode);

// What the payment-code window shows for a charge of `fen`: the exact yuan amount without trailing zeros + "元".
QString chargeDisplayText(qint64 fen);

// The amount page's collect check. An amount that the cents rule of `centsMode` brings to 0 fen is Zero: a charge of
// nothing is never sent.
enum class CollectCheck { Ok, Empty, Zero, Invalid };
// `fen` receives the amount to charge when it is Ok, so the text is read once.
CollectCheck checkCollectAmount(const QString& fieldText, int centsMode, qint64* fen = nullptr);

// A keypad addend: the field's text in fen (half up at the fen). Empty or unreadable text counts 0.
qint64 keypadAddendFen(const QString& fieldText);
// "+" and "=": the exact sum shown with two decimals.
QString keypadSumText(qint64 firstFen, qint64 secondFen);

// One ticket line as the page sums it.
struct TicketLine {
    int id = 0;
    int count = 0;
    qint64 priceFen = 0;
};

// "id:count," for each line with a positive count, in order. Empty when nothing is selected.
QString ticketSelection(const QList<TicketLine>& lines);
// Sum of count x price in fen, exactly.
qint64 ticketTotalFen(const QList<TicketLine>& lines);
// A ticket count typed into a line: base-10, 0 when empty, not a number or beyond an int.
int ticketCountFromText(const QString& text);

}  // namespace collect

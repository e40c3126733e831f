#pragma once

#include "app/records.h"
#include "core/totalsservice.h"
#include "receipts/summaryhtml.h"

#include <QList>
#include <QString>

// The rules of the shift summary that need no window: reading the totals reply into label texts, and deciding when
// the totals are asked for and when they may be printed.
namespace shiftsummary {

// "￥12.50元" from whole fen; an amount the gateway did not send as fen shows empty, never as ￥0.00元.
QString moneyLabel(std::optional<qint64> fen);

// A totals answer as the dialog shows it.
struct Labels {
    QString start;  // "time1" as received
    QString end;    // "time2" as received
    QString total;  // "allmoney"
    QString alipayMoney;
    QString alipayRefund;
    QString wechatMoney;
    QString wechatRefund;
    QString refundTotal;  // "refundmoney"
    QList<receipts::SummaryTicket> tickets;
};
Labels labelsFromTotals(const replies::Totals& totals);
// What the dialog says in an error box for a totals reply it cannot show: the gateway's refusal, or the network text.
QString totalsFailure(const replies::Status& status);

// The end of the period as the check of this till's record reads it: the whole of the second the edit shows, so a
// sale made in that second is in the period (the gateway counts whole seconds).
QDateTime periodEnd(const QDateTime& shownEnd);

// The store as the summary names it: "main_name" immediately followed by "branch_name".
QString shopLabel(const Shop& shop);

// When the totals are queried and whether the figures on show belong to the period in the date edits.
//
// The dialog first asks the gateway for the period; while that answer is out, and while the dialog applies it to the
// edits, edit changes do not query. Once it has arrived (or failed) the totals are queried once for the period then
// shown, and after that on every change the cashier makes. Every query gets a number; only the answer to the latest
// one is applied, so a slow answer for an older period can never replace the figures of the period on show.
class QueryState {
public:
    // The print-time query is out.
    void waitForPeriod() { m_phase = Phase::WaitingForPeriod; }
    // The print-time answer is in (or failed) and applied to the edits: the caller queries once now.
    void periodSettled() { m_phase = Phase::Live; }
    // Whether an edit change should query the totals.
    bool queryOnDateChange() const { return m_phase == Phase::Live; }

    // A totals query goes out; returns its number.
    int startTotals();
    // The answer to query `id` arrived (ok: it can be shown). Returns whether it is the latest query's answer,
    // the only one to apply or to report.
    bool finishTotals(int id, bool ok);

    // The figures shown are those of the period in the edits: printing may go on.
    bool canPrint() const { return m_haveTotals && !m_outstanding; }

private:
    enum class Phase { Constructing, WaitingForPeriod, Live };
    Phase m_phase = Phase::Constructing;
    int m_latest = 0;
    bool m_outstanding = false;
    bool m_haveTotals = false;
};

}  // namespace shiftsummary

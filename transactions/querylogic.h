#pragma once

#include "core/listingservice.h"

#include <QString>
#include <QVector>
#include <optional>

// The rules of the transaction query page, kept apart from the widgets: what each summary label and each cell
// shows, which refund button a row gets, and where the paging buttons go.
namespace transactions {

// Rows the gateway sends per page ("page_num").
constexpr int kPageSize = 20;

// Yuan with trailing zeros dropped, exact to the fen: 1250 -> "12.5", 100 -> "1", 1234567 -> "12345.67", 0 -> "0".
// An amount the gateway did not send as fen is not known: it shows empty, never as 0.
QString shortYuan(std::optional<qint64> fen);
// The same with exactly two decimals: 1250 -> "12.50".
QString yuan2(std::optional<qint64> fen);

// The texts of the summary labels, named after them, and the page count of one listing page.
struct Summary {
    QString wechat_num, wechat_money;
    QString apliy_num, apliy_money;
    QString jd_num, jd_money;
    QString yl_num, yl_money;
    QString total_num, sk_total, total_rfee;
    int totalPage = 0;  // "total_page" as a JSON number; anything else reads as 0
};
Summary summaryOf(const replies::ListingPage& page);

// Placing the summary labels (counts, sums and their captions, in rows) so that no text is cut, a sum least of all.
// A label's designed place and width, the width its text needs now, and its row.
struct LabelSlot {
    int row = 0;
    int x = 0;
    int width = 0;
    int needed = 0;
};
struct LabelPlace {
    int x = 0;
    int width = 0;
};
// Every label keeps its designed place and width where its text fits them. A label whose text is wider grows, and
// the labels after it move right by as much; labels that share a designed x in different rows move together, so
// the columns of the rows stay in line. When that passes `available`, each row gives up the room its labels have
// beyond their texts, evenly and no more than needed, keeping the designed gaps. nullopt when the row does not fit
// even with every label just as wide as its text (the caller then tries a smaller font). Places come back in the
// order of `boxes`.
std::optional<QVector<LabelPlace>> fitSummaryLabels(const QVector<LabelSlot>& boxes, int available);
// Every label just as wide as its text, the designed gaps kept, wherever the rows end.
QVector<LabelPlace> packSummaryLabels(const QVector<LabelSlot>& boxes);

// The text cells of one row (columns 0 to 5 of the table).
struct RowCells {
    QString tradeNo;  // 系统单号: "trade_no"
    QString money;    // 交易金额: short yuan
    QString refund;   // 退款金额: two decimals
    QString channel;  // 支付方式: "pay_channel" as sent
    QString status;   // 交易状态: "finalinfo" as sent
    QString payDate;  // 交易时间: "pay_date" as sent
};
RowCells rowCells(const Order& order);

// The refund column's button of a row.
enum class RefundButton {
    Refund,        // "退款"
    Refunded,      // "已退款": still opens the refund dialog (a partial refund may go on)
    NotSupported,  // "暂不支持": bank-card payments are refunded at the terminal; disabled
};
bool isRefundedStatus(const QString& finalinfo);
RefundButton refundButtonKind(const QString& finalinfo, const QString& payChannel);
QString refundButtonText(RefundButton kind);

// What the page shows in an error box for a listing it cannot show (the rows and their orders stay as they were).
QString listingFailure(const replies::Status& status);

// Paging. `current` is the page last asked for; `totalText` is what the page-count label shows ("" before any reply).
struct PageStep {
    bool send = false;  // query `page`
    int page = 0;
    QString warning;  // shown in an error box when not empty; nothing is sent then
};
PageStep previousPage(int current);
PageStep nextPage(int current, const QString& totalText);
// The go-to-page field (digits only) against the page count.
PageStep goToPage(const QString& wantedText, const QString& totalText);
// What the current-page label shows after a reply: the page asked for when the gateway has that many pages,
// otherwise what it showed before.
QString shownCurrentPage(int current, int totalPage, const QString& shownBefore);

}  // namespace transactions

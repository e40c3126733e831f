#pragma once

#include "app/records.h"
#include "core/listingservice.h"

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class FormJiaoYiCX;
}
class LoadingDialog;
class QLabel;
class OrderTableModel;
class QPushButton;
class Till;

// The transaction query page of the main window: the store's sales of a time range, twenty to a page, with
// per-channel counts and sums, a reprint button on every row and, with the refund function on, a refund button.
// Nothing is queried until the cashier asks; the busy dialog runs modally while a query is out.
class FormJiaoYiCX : public QWidget {
    Q_OBJECT

public:
    // Runs the refund dialog for a listed transaction and returns when it is closed; the page then queries its
    // current page again. The top layer supplies it (the refund dialog lives in another folder); without one the
    // refund buttons are shown disabled.
    using RefundOpener = std::function<void(const Order& order)>;
    // Opens the shift summary; without one the 交接班 button is disabled.
    using ShiftSummaryOpener = std::function<void()>;

    explicit FormJiaoYiCX(Till& till, QWidget* parent = nullptr);
    ~FormJiaoYiCX() override;

    void setRefundOpener(RefundOpener opener);
    void setShiftSummaryOpener(ShiftSummaryOpener opener);
    // The range and filters as they stand, as every page of the listing is asked for.
    ListingService::Filter listingFilter() const;
    // Tests shorten the gateway time-out.
    void setRequestTimeout(int ms) { m_timeoutMs = ms; }

    // The page whose rows are on screen (1 before the first query).
    int currentPage() const { return m_currentPage; }
    // The table column of the reprint button (the last one) and of the refund button (-1 when there is none).
    int reprintColumn() const;
    int refundColumn() const;
    LoadingDialog* loadingDialog() const { return m_loading.get(); }

    // Posts the query for `page` with the filters as they stand and runs the busy dialog until the reply is in.
    void queryPage(int page);

public slots:
    void on_query_btn_clicked();
    void on_up_page_btn_clicked();
    void on_next_page_btn_clicked();
    void on_query_page_btn_clicked();
    void on_btn_mytrade_clicked();
    // 导出: every row of the range and filters, all pages, to a CSV file.
    void on_btnExport_clicked();
    void slot_requestFinished(const replies::Read<replies::ListingPage>& page);
    // Row buttons: the refund (or 已退款) button and 重打印.
    void onBtnClicked();
    void onBtnPrinterClicked();

private:
    void setUpTable();
    // The page's transactions into the table, with the row buttons over their cells.
    void showOrders(const QList<Order>& orders);
    void addRowButtons(int row, const Order& order);
    // The table row whose cell holds the button that sent the current signal; -1 when it is not a row button.
    int senderRow(int column) const;
    // The cashier gave the query up: its reply, whenever it comes, changes nothing.
    void cancelQuery();
    // Sizes the summary labels to their texts, so that no sum is cut.
    void fitSummary();

    std::unique_ptr<Ui::FormJiaoYiCX> ui;
    Till& m_till;
    // The transactions of the rows on screen: what the row buttons act on.
    OrderTableModel* m_orders = nullptr;
    std::unique_ptr<LoadingDialog> m_loading;
    RefundOpener m_refundOpener;
    ShiftSummaryOpener m_shiftSummaryOpener;
    int m_currentPage = 1;
    int m_requestedPage = 1;
    int m_timeoutMs;
    // The summary labels as designed: their places and faces.
    struct SummaryLabel {
        QLabel* label;
        QRect rect;
        QFont font;
        bool figure;  // a count or a sum, not a caption
    };
    std::vector<SummaryLabel> m_summaryLabels;
    bool m_waiting = false;
    QPointer<QObject> m_request;
};

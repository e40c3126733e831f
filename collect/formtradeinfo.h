#pragma once

#include "core/receiptservice.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class FormTradeInfo;
}

// The payment result: who charged, the order, the channel, the amount and the tickets sold, as the sale's receipt
// has them, and how its receipt printed (the till prints what was paid; this window only shows the outcome and offers
// to print again when it did not). Deletes itself when closed.
class FormTradeInfo : public QWidget {
    Q_OBJECT

public:
    // A Return (or Enter) this soon after the window opened is a bounce or a scanner's second Return, not the
    // cashier's answer: it is ignored so the result cannot close unseen.
    static constexpr int kIgnoreReturnMs = 400;

    // `printed`: how the till's print of the sale's receipt went; nullopt when no receipts are printed.
    FormTradeInfo(ReceiptService& printer, const Order& sale,
                  const std::optional<receipts::PrintResult>& printed = std::nullopt, QWidget* parent = nullptr);
    ~FormTradeInfo() override;

public slots:
    void on_close_btn_clicked();
    void on_print_btn_clicked();
    void on_pushButton_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Below the window's designed controls: why the receipt did not print, and 重新打印. Hidden when it printed.
    void showPrintResult(const receipts::PrintResult& result);

    std::unique_ptr<Ui::FormTradeInfo> ui;
    ReceiptService& m_receipts;
    Order sale;
    receipts::SaleReceipt m_receipt;  // the service phone is read when printing
    QElapsedTimer m_opened;
    class QLabel* m_printFailure = nullptr;
    class QPushButton* m_reprint = nullptr;
    int m_designedHeight = 0;
};

#pragma once

#include "core/receiptservice.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class FormTradeInfo;
}

// The payment result: who charged, the order, the channel, the amount and the tickets sold, as the sale's receipt
// has them. When first shown it has the receipt printed (and the print reported), when a printer is chosen. Deletes
// itself when closed.
class FormTradeInfo : public QWidget {
    Q_OBJECT

public:
    // A Return (or Enter) this soon after the window opened is a bounce or a scanner's second Return, not the
    // cashier's answer: it is ignored so the result cannot close unseen.
    static constexpr int kIgnoreReturnMs = 400;

    FormTradeInfo(ReceiptService& printer, const Order& sale, QWidget* parent = nullptr);
    ~FormTradeInfo() override;

public slots:
    void on_close_btn_clicked();
    void on_print_btn_clicked();
    void on_pushButton_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void printReceipt();
    // Below the window's designed controls: why the receipt did not print, and 重新打印. Hidden when it printed.
    void showPrintResult(const receipts::PrintResult& result);

    std::unique_ptr<Ui::FormTradeInfo> ui;
    ReceiptService& m_receipts;
    Order sale;
    receipts::SaleReceipt m_receipt;  // the service phone is read when printing
    bool m_printTried = false;
    QElapsedTimer m_opened;
    class QLabel* m_printFailure = nullptr;
    class QPushButton* m_reprint = nullptr;
    int m_designedHeight = 0;
};

#pragma once

#include "app/records.h"
#include "core/refundservice.h"
#include "widgets/settingspage.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <memory>

class Till;
namespace Ui {
class RefundSureDialog;
}
class QCheckBox;
class RefundGuard;

// Refunds one listed transaction: shows the order, takes the refund amount and the refund password, and with the
// goods-return option lists the order's items so the cashier can mark those handed back. A refund on its way cannot
// be abandoned: the dialog does not close while it is sent or being confirmed, and a refund whose outcome is not known
// is looked up, never sent again; the dialog says why 确定退款 is off whenever it is.
class RefundSureDialog : public QDialog {
    Q_OBJECT
public:
    // `orderMoney` is the order amount in whole fen as decimal digits; empty when the gateway did not send one.
    // `openSettings` opens the refund password pages (a wrong password, a forgotten one).
    RefundSureDialog(Till& till, QWidget* parent, const QString& outTradeNo, const QString& tradeNo,
                     const QString& orderMoney, const QString& payChannel, SettingsOpener openSettings);
    ~RefundSureDialog() override;

    // The listed transaction; read for the receipt. The opener assigns it before exec().
    Order orderRow;

    // Builds the dialog for a listed transaction, runs it modally and returns when it is closed.
    static void runForOrder(Till& till, const Order& order, SettingsOpener openSettings, QWidget* parent = nullptr);

    QList<QCheckBox*> itemBoxes() const { return cardBoxes; }
    // Whether a refund can be submitted now (false while one is out and after one whose outcome is unknown).
    bool submitEnabled() const;
    // The line that says what the refund of this order is doing, or why 确定退款 is off; empty when nothing is.
    QString stateText() const;
    RefundGuard* guard() const { return m_guard; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_btnCancel_clicked();
    void on_btnOk_clicked();
    void onRefundResult(const replies::RefundResult& result, qint64 fen);
    void on_btnOk1_clicked();
    void slot_requestFinished(const replies::Read<replies::Items>& read);
    void on_pushButton_clicked();
    void on_cbkAll_clicked();

private:
    void submit();
    void tell(const replies::RefundResult& result, qint64 fen);
    void showGuardState();
    void askAboutUnresolved();
    void setSubmitEnabled(bool enabled);
    void layOutItems(int boxes);
    // The refund receipt for `refundFen`, or nothing when receipts are not printed.
    QString receiptHtml(qint64 refundFen) const;
    // A refund that is done: its receipt (offered again while it does not print), the cashier told, the dialog closed.
    void finishRefund(qint64 fen, const QString& message);
    void openHubPage(SettingsPage page);

    std::unique_ptr<Ui::RefundSureDialog> ui;
    Till& m_till;
    QString outTradeNo;
    QString tradeNo;
    QString orderMoney;
    QString payChannel;
    QList<QCheckBox*> cardBoxes;
    RefundGuard* m_guard = nullptr;
    SettingsOpener m_openSettings;
    class QLabel* m_state = nullptr;
    bool m_answering = false;  // the outcome of a refund is being told: 确定退款 waits until the cashier has read it
    class QPushButton* m_resolve = nullptr;
};

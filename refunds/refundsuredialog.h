#pragma once

#include "gateway/gatewaycall.h"

#include <QDialog>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <memory>

namespace Ui {
class RefundSureDialog;
}
class QCheckBox;

// Refunds one listed transaction: shows the order, takes the refund amount and the refund password, and with the
// goods-return option lists the order's items so the cashier can mark those handed back. A refund whose outcome is
// not known (no gateway answer) is never sent again from here: the cashier checks the transaction list first.
class RefundSureDialog : public QDialog {
    Q_OBJECT
public:
    // `orderMoney` is the order amount in fen as the gateway sends it.
    RefundSureDialog(QWidget* parent, const QString& outTradeNo, const QString& tradeNo, const QString& orderMoney,
                     const QString& payChannel);
    ~RefundSureDialog() override;

    // The whole transaction object of the row; read for the receipt. The opener assigns it before exec().
    QJsonObject orderRow;

    // Builds the dialog for a transaction object of the list, runs it modally and returns when it is closed.
    static void runForOrder(const QJsonObject& order, QWidget* parent = nullptr);

    QList<QCheckBox*> itemBoxes() const { return cardBoxes; }
    // Whether a refund can be submitted now (false while one is out and after one whose outcome is unknown).
    bool submitEnabled() const;

private slots:
    void on_btnCancel_clicked();
    void on_btnOk_clicked();
    void onRefundResult(const gateway::Reply& r);
    void on_btnOk1_clicked();
    void slot_requestFinished(const gateway::Reply& r);
    void on_pushButton_clicked();
    void on_cbkAll_clicked();

private:
    void submit();
    void setSubmitEnabled(bool enabled);
    void layOutItems(int boxes);
    // The refund receipt for `refundFen`, or nothing when receipts are not printed.
    QString receiptHtml(qint64 refundFen) const;
    static void openHubPage(int page);

    std::unique_ptr<Ui::RefundSureDialog> ui;
    QString outTradeNo;
    QString tradeNo;
    QString orderMoney;
    QString payChannel;
    QList<QCheckBox*> cardBoxes;
    qint64 m_sentFen = 0;
};

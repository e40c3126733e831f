#pragma once

#include <QJsonObject>
#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class FormTradeInfo;
}

// The payment result: who charged, the order, the channel, the amount and the tickets sold. Prints the sale
// receipt and reports the print when a printer is chosen. Deletes itself when closed.
class FormTradeInfo : public QWidget {
    Q_OBJECT

public:
    explicit FormTradeInfo(const QJsonObject& content, QWidget* parent = nullptr);
    ~FormTradeInfo() override;

    QString operatorText() const;
    QString orderText() const;
    QString payWayText() const;
    QString moneyText() const;
    QString ticketsHtmlText() const { return ticketsHtml; }
    // The ticket labels in the scroll area, in order.
    QList<class QLabel*> ticketLabels() const;
    int ticketContentsHeight() const;

public slots:
    void on_close_btn_clicked();
    void on_print_btn_clicked();
    void on_pushButton_clicked();

private:
    void printReceipt();
    void reportPrinted();

    std::unique_ptr<Ui::FormTradeInfo> ui;
    QJsonObject content;
    QString ticketsHtml;
};

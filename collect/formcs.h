#pragma once

#include "gateway/gatewaycall.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class FormCS;
}
class QLineEdit;
class TicketForm;

// The payment-code window: shows the amount to charge, collects what the scanner types, and on Return charges it.
class FormCS : public QWidget {
    Q_OBJECT

public:
    FormCS(QWidget* parent, const QString& amountText);
    ~FormCS() override;

    // The amount page's field, emptied after a successful charge.
    void setAmountEdit(QLineEdit* edit);

    // The amount the charge sends, after the cents rule (nullopt when the text was not an amount).
    std::optional<qint64> chargeAmountFen() const { return m_chargeFen; }
    QString shownAmount() const;
    bool isCharging() const { return m_charging; }

    // Tests shorten the gateway time-out; the production value is the request client's.
    void setRequestTimeout(int ms) { m_timeoutMs = ms; }

public slots:
    void on_close_btn_clicked();
    void slot_requestFinished(const gateway::Reply& reply);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void charge();
    void reportFailure(const QString& text);

    std::unique_ptr<Ui::FormCS> ui;
    QPointer<QLineEdit> amountEdit;
    QPointer<TicketForm> ticketPage;
    QString scanBuffer;
    QString amountText;
    std::optional<qint64> m_chargeFen;
    int m_timeoutMs;
    // One charge at a time: a second Return must not post a second charge of the same sale.
    bool m_charging = false;
    // Closed while a charge was in flight: the reply is still handled, then the window goes.
    bool m_closedWhileCharging = false;
    bool m_reportingFailure = false;
};

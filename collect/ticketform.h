#pragma once

#include "collect/collectlogic.h"
#include "app/records.h"
#include "collect/customerdisplay.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class TicketForm;
}
class FormCS;
class ChargeController;
class TicketCtl;

// The ticket page: one line per ticket kind of the merchant, the total, and "扫 码 收 款".
class TicketForm : public QWidget {
    Q_OBJECT

public:
    TicketForm(Till& till, QWidget* parent);
    ~TicketForm() override;

    // "id:count," for every kind with a count above 0, in list order (the ticket charge's "ticket" field).
    QString selectionString() const;
    // {"cardno": kind name, "price": yuan text} once per ticket selected, as a ticket charge's reply lists them.
    QList<SoldTicket> soldTickets() const;
    // After a successful charge: every count back to 0 and the total emptied.
    void resetCounts();
    // The total in whole fen, exactly; shown without trailing zeros.
    qint64 totalFen() const { return total; }
    QString totalText() const;
    // The payment-code window this page opened, while it is open.
    FormCS* paymentWindow() const;
    // Where the amount to collect is shown to the customer.
    void setCustomerDisplay(const CustomerDisplay& display) { m_display = display; }
    // The line of the i-th ticket kind (null past the last).
    TicketCtl* lineAt(int i) const { return m_lineWidgets.value(i); }

public slots:
    void on_sk_btn_clicked();
    void doclick();

private:
    QList<collect::TicketLine> currentLines() const;

    std::unique_ptr<Ui::TicketForm> ui;
    Till& m_till;
    const QList<TicketType> m_types;  // the session's kinds, one line each
    qint64 total = 0;                 // fen
    QPointer<FormCS> m_paymentWindow;
    // The charge this page last handed its window, and the selection it sold: once it is paid the counts go back to 0
    // while the page still shows that selection.
    QPointer<ChargeController> m_charge;
    QString m_chargeSelection;
    CustomerDisplay m_display;
    QList<TicketCtl*> m_lineWidgets;  // one per ticket kind, in the kinds' order
    QWidget* m_lines = nullptr;       // the scrolling sheet that holds one line per ticket kind
};

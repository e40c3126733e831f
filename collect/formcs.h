#pragma once

#include "collect/customerdisplay.h"
#include "core/chargeservice.h"

#include <QPointer>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class FormCS;
}
class Till;
namespace journal {
struct Attempt;
}

// The payment-code window: shows the amount to charge, collects what the scanner types, and on Return charges it. It
// is the view of its sale's ChargeController, which owns the charge (journal, outcome, look-up, release). While the
// sale's money may be moving the window may hide, but it is not destroyed: the amount and ticket pages bring it back
// instead of opening a second one, and it comes back by itself when there is something to tell.
class FormCS : public QWidget {
    Q_OBJECT

public:
    // A ticket sale as its page hands it over: what the charge sends besides the amount. (The page hears of the sale
    // being paid from the charge service, as the amount page does.)
    struct TicketSale {
        qint64 fen = 0;     // the page's total; the cents rule applies as to a keyed amount
        QString selection;  // "id:count,"
        QList<SoldTicket> tickets;
    };

    // The amount page's window; the text is read with the cents rule.
    FormCS(Till& till, QWidget* parent, const QString& amountText);
    // The same for an amount the page has already read (`chargeFen`, after the cents rule).
    FormCS(Till& till, QWidget* parent, const QString& amountText, qint64 chargeFen);
    FormCS(Till& till, QWidget* parent, const TicketSale& sale);
    // A window for a charge an earlier run left open: it looks the charge up at once.
    FormCS(Till& till, const journal::Attempt& attempt);
    ~FormCS() override;

    // The window of the charge in progress (money that may be moving), if any.
    static FormCS* inProgress(Till& till);
    // Brings back the window of a charge in progress or, when there is none, one for the store's first charge an
    // earlier run left open. True when there was one: no new charge may start then.
    static bool bringBackOpenCharge(Till& till);
    // Shows, raises and gives the keyboard to the window (once another window's box is answered, if one is up).
    void bringBack();
    // Called by a page as it goes: its windows whose money may be moving (or whose box is being answered) stay, as
    // windows of their own.
    static void keepPastPage(QWidget* page);

    // Shows the amount to charge on the customer display, and clears it there once the sale is paid.
    void showOnDisplay(const CustomerDisplay& display);

    // The amount the charge sends, after the cents rule (nullopt when the text was not an amount).
    std::optional<qint64> chargeAmountFen() const { return m_chargeFen; }
    QString shownAmount() const;
    QString statusText() const;
    bool isCharging() const;
    bool isChecking() const;
    ChargeController* controller() const { return m_controller; }

    // Tests shorten the gateway time-out and the check; production keeps 30 s and the check's own values.
    void setRequestTimeout(int ms);
    void setCheckTiming(const chargecheck::Timing& timing);

public slots:
    void on_close_btn_clicked();
    void on_btnStopCheck_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setUp();
    void connectController();
    void charge();
    void showPhase();
    void reportFailure(const QString& text);
    // What a paid sale does here: clears the customer display, closes, opens the result window.
    void completeSale(const Order& sale, const std::optional<receipts::PrintResult>& printed);
    void askAboutCandidates(const QList<chargecheck::Candidate>& candidates);
    // Yes, No, or Cancel (put off: only in a look-back, where No sends the charge).
    QMessageBox::StandardButton isThisSale(const chargecheck::Candidate& candidate, bool lookBack);
    void askAboutUnresolved();
    // Shows a box from this popup: the box closes the popup, which comes back once the box is answered.
    template <class ShowBox>
    auto showBox(ShowBox show);

    std::unique_ptr<Ui::FormCS> ui;
    Till& m_till;
    std::optional<TicketSale> ticketSale;
    QString scanBuffer;
    QString amountText;
    QString m_scanPrompt;
    std::optional<qint64> m_chargeFen;
    ChargeController* m_controller = nullptr;
    bool m_inBox = false;
    bool m_pageGone = false;  // the page that opened it is gone: the window lives on for its charge
    QList<chargecheck::Candidate> m_laterCandidates;  // a look-back's question the cashier put off
    QTimer m_bringBackLater;
    CustomerDisplay m_display;
};

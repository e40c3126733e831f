#pragma once

#include "collect/chargecheck.h"
#include "gateway/gatewaycall.h"

#include <QDateTime>
#include <QJsonArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class FormCS;
}
class ChargeChecker;
class QLineEdit;
class TicketForm;

// The payment-code window: shows the amount to charge, collects what the scanner types, and on Return charges it.
// A charge whose outcome is unknown (no reply in time, connection lost, or an answer that is not the gateway's) is
// never sent again: the window checks the store's transactions for it until the cashier confirms one, the check
// ends, or the cashier stops it. No new charge can start from the window meanwhile.
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
    QString statusText() const;
    bool isCharging() const { return m_charging; }
    bool isChecking() const { return m_checking; }

    // Tests shorten the gateway time-out and the check; production keeps 30 s and the check's own values.
    void setRequestTimeout(int ms) { m_timing.chargeTimeoutMs = ms; }
    void setCheckTiming(const chargecheck::Timing& timing) { m_timing = timing; }

public slots:
    void on_close_btn_clicked();
    void on_btnStopCheck_clicked();
    void slot_requestFinished(const gateway::Reply& reply);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void charge();
    void reportFailure(const QString& text);
    // What a successful charge does: clears the caller's amount, closes, opens the result window with `content`.
    void completeSale(const QJsonObject& content, bool alreadyClosed);

    void startChecking();
    void askAboutCandidates(const QList<chargecheck::Candidate>& candidates);
    bool isThisSale(const chargecheck::Candidate& candidate);
    // Ends the check and tells the cashier how it ended; the window takes a new scan after that.
    void endCheckNotFound();
    void endCheckUnknown();
    void leaveCheckingState();
    // Shows a box from this popup: the box closes the popup, which comes back once the box is answered.
    template <class ShowBox>
    auto showBox(ShowBox show);

    std::unique_ptr<Ui::FormCS> ui;
    QPointer<QLineEdit> amountEdit;
    QPointer<TicketForm> ticketPage;
    QString scanBuffer;
    QString amountText;
    QString m_scanPrompt;
    std::optional<qint64> m_chargeFen;
    chargecheck::Timing m_timing;
    // One charge at a time: a second Return must not post a second charge of the same sale.
    bool m_charging = false;
    // Closed while a charge was in flight: the reply is still handled, then the window goes.
    bool m_closedWhileCharging = false;
    bool m_inBox = false;
    // The charge on its way or being checked: when it went out, for which store, and the tickets it sells.
    QDateTime m_sentAt;
    QString m_chargeShopId;
    QJsonArray m_soldTickets;
    bool m_checking = false;
    QPointer<ChargeChecker> m_checker;
};

#pragma once

#include "collect/customerdisplay.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class FormSaoMaShouKuan;
}
class FormCS;
class ChargeController;

// The amount page: the cashier keys (or adds up) the sale amount and starts the charge.
// Keys reach the field only through a 50 ms window, so a keyboard-wedge scanner's burst is dropped.
class FormSaoMaShouKuan : public QWidget {
    Q_OBJECT

public:
    FormSaoMaShouKuan(Till& till, QWidget* parent);
    ~FormSaoMaShouKuan() override;

    // Replaces the field's text without validation (the serial amount bridge).
    void setAmountText(const QString& text);
    // The collect action, the same as pressing "收  款".
    void startCollect();
    // Where a keyed amount is shown to the customer (an amount the POS put here is on its display already).
    void setCustomerDisplay(const CustomerDisplay& display) { m_display = display; }

    // The amount field's current text.
    QString fieldText() const;
    // The payment-code window this page opened, while it is open.
    FormCS* paymentWindow() const;
    // True while a key window is collecting (keys typed in the last 50 ms have not been taken or dropped yet).
    bool keyWindowOpen() const { return keyTimer.isActive(); }

public slots:
    void keyBoardInput();
    void on_sk_btn_clicked();
    void on_clean_btn_clicked();
    void on_add_btn_clicked();
    void on_sev_btn_clicked();
    void on_eig_btn_clicked();
    void on_nine_btn_clicked();
    void on_fou_btn_clicked();
    void on_fiv_btn_clicked();
    void on_six_btn_clicked();
    void on_one_btn_clicked();
    void on_two_btn_clicked();
    void on_thr_btn_clicked();
    void on_zer_btn_clicked();
    void on_dot_btn_clicked();
    void on_equal_btn_clicked();
    void on_input_Edit_textChanged(const QString& arg1);
    void on_back_btn_clicked();
    void on_rt_btn_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void keyDigit(const QString& ch);
    // A single key still waiting in its window goes in now, so "+" and "=" see what the cashier keyed.
    void flushKeyWindow();
    void showSum();
    void collect();
    void markEmpty();

    std::unique_ptr<Ui::FormSaoMaShouKuan> ui;
    Till& m_till;
    QString amountText;
    QString pendingOp;
    QString keyBuffer;
    QString lastKeyText;
    // The "+" calculation, in whole fen so no fen are lost on large sums.
    qint64 firstAddend = 0;
    qint64 secondAddend = 0;
    qint64 sumValue = 0;
    // After "+", the next keyed character starts the second addend on a fresh display.
    bool secondStarted = false;
    QTimer keyTimer;
    QPointer<FormCS> m_paymentWindow;
    // The charge this page last handed its window, and the amount as the field held it: once it is paid the field is
    // emptied, only while it still holds that amount (a POS may have put the next customer's there).
    QPointer<ChargeController> m_charge;
    QString m_chargeText;
    CustomerDisplay m_display;
    QString m_posText;  // what the serial bridge last put into the field
};

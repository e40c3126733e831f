#pragma once

#include "core/chargeservice.h"
#include "transactions/shiftsummarylogic.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>
#include <memory>

namespace Ui {
class myTrade;
}
class QLabel;
class QPushButton;
class Till;

// The shift summary (交接班): the gateway proposes the period since the last printed summary, the dialog shows the
// totals of the period in the two date edits, prints them, records the print with the gateway and offers to hand the
// till over: the program starts again at its login window for the next cashier.
class myTrade : public QDialog {
    Q_OBJECT
public:
    explicit myTrade(Till& till, QWidget* parent = nullptr);
    ~myTrade() override;

    // Opens a new summary as the transaction page does: no parent, modal, not blocking; released when closed.
    static myTrade* openNonBlocking(Till& till);

    // The summary as it would be printed now.
    QString summaryHtml() const;

public slots:
    void on_btnClose_clicked();
    void getPrintTime();
    void solt_getPrintTime(const replies::Read<replies::PrintTime>& period);
    void getHttpRecord();
    void slot_requestFinished(const replies::Read<replies::Totals>& totals);
    void logPrint();
    void on_btnPrint_clicked();
    void on_time1_dateTimeChanged(const QDateTime& dateTime);
    void on_time2_dateTimeChanged(const QDateTime& dateTime);

signals:
    // A print record's request has ended (answered or not).
    void printLogFinished();

private:
    void showTotals(const shiftsummary::Labels& labels);
    void updatePrintButton();
    // A hand-over ends this copy of the program: the print record must reach the gateway first, or the next shift's
    // period would start at the previous print.
    void waitForPrintLog();
    void addCheckLine();
    void startCheck();
    void showCheck(const reconcile::Result& result);
    void showCheckFailed(const QString& why);
    void setCheckText(const QString& text, bool disagrees);
    void openCheckDetail();

    std::unique_ptr<Ui::myTrade> ui;
    Till& m_till;
    shiftsummary::QueryState m_state;
    QString m_ticketText;
    int m_printLogsOut = 0;
    reconcile::HandoverCheck* m_check = nullptr;
    QLabel* m_checkLine = nullptr;
    QPushButton* m_checkDetail = nullptr;
    QList<reconcile::Finding> m_findings;
    QString m_checkText;
};

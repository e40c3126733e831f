#pragma once

#include "gateway/gatewaycall.h"
#include "payments/chargecheck.h"
#include "payments/journalrules.h"
#include "payments/paymentcontext.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// The attempt a charge or a refund has in hand, from its write to the journal until its outcome is known there. An
// outcome is settled in the journal (one the file cannot take is told). An unknown one is looked up again and again
// until the check's time is up, then stays unresolved until the cashier checks again or releases it on purpose
// (journaled with time and cashier). Which look-up runs and what it finds is the owner's: a charge lists its store, a
// refund reads its order; this holds when, and for how long. The owner's checking and unresolved phases follow
// checkStarted and unresolved, and end only with an outcome settled or the cashier's release.
class OpenAttempt : public QObject {
    Q_OBJECT

public:
    // Whose attempt it is, for the words the cashier reads (收款 / 退款).
    enum class Noun { Charge, Refund };

    OpenAttempt(const PaymentContext& till, Noun noun);

    // Why nothing of `noun` can go out when the till has no journal.
    static QString noJournalText(Noun noun);

    // Writes `a` to the journal before its request leaves; false (with `why`, as the cashier reads it) when the
    // journal cannot take it or another attempt is open: nothing may be sent then.
    bool begin(const journal::Attempt& a, QString* why);
    // The attempt in hand (written, taken over, or an earlier one being settled); 0 when none.
    qint64 id() const { return m_id; }
    void setId(qint64 id) { m_id = id; }
    // Writes the attempt's outcome; a known one (not open) ends any look-up of it.
    void settle(journal::State state, const QString& orderNo, const QString& note, const QString& otherNo = QString());

    void setTiming(const chargecheck::Timing& timing) { m_timing = timing; }
    const chargecheck::Timing& timing() const { return m_timing; }

    // The outcome is unknown: a check begins (checkStarted, then lookUpDue at once), for the check's whole duration.
    void startCheck();
    // A look-up ended without an answer: the next one is due after the interval, or the check ends unresolved.
    void nothingFound();
    // The owner cannot tell from its look-ups (or may not run them): unresolved now.
    void giveUp();
    // The cashier's buttons. Stopping drops the replies of the look-up on its way; each is ignored out of its state.
    void stopCheck();
    void checkAgain();
    // The cashier has made sure nothing moved: released in the journal by the signed-in cashier. Only while
    // unresolved; false (with `why`) otherwise or when the journal cannot take it.
    bool release(QString* why);

    // A look-up's reply handler that runs only while that look-up is the latest and has not been given up.
    gateway::Done latest(gateway::Done done);

signals:
    void checkStarted();
    void lookUpDue();   // the owner's look-up goes out now
    void unresolved();  // the check ended without an answer (time up, stopped or given up)
    void journalTrouble(const QString& why);

private:
    enum class Check { Off, Running, Unresolved };
    static QString nounText(Noun noun);
    QString noun() const { return nounText(m_noun); }

    PaymentContext m_till;
    Noun m_noun;
    qint64 m_id = 0;
    chargecheck::Timing m_timing;
    Check m_check = Check::Off;
    QElapsedTimer m_elapsed;
    QTimer m_next;
    int m_generation = 0;  // replies of a look-up given up are dropped
};

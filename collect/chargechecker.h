#pragma once

#include "collect/chargecheck.h"
#include "gateway/gatewaycall.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

// Runs the check of one unanswered charge: lists the store's transactions around the charge every few seconds until
// a candidate turns up, the time is up, a listing fails or the cashier stops it. It never sends the charge again.
// After candidatesFound it waits for the cashier's answer: goOn() (none of them was the sale) or stop().
class ChargeChecker : public QObject {
    Q_OBJECT

public:
    ChargeChecker(const chargecheck::Charge& charge, const chargecheck::Timing& timing, QObject* parent = nullptr);

    // Transactions known not to be this charge (sales this client already completed): never offered.
    void exclude(const QSet<QString>& orderNos) { m_declined.unite(orderNos); }
    void start();
    // The shown candidates were not the sale: they are not offered again, and the check goes on.
    void goOn(const QList<chargecheck::Candidate>& declined);
    // No further listing; a listing on its way is ignored.
    void stop();
    bool running() const { return m_running; }
    int listingsSent() const { return m_listings; }

signals:
    void candidatesFound(const QList<chargecheck::Candidate>& candidates);
    void notFound();
    void listingFailed();

private:
    void list();
    void onListing(const gateway::Reply& reply);
    void scheduleNext();

    chargecheck::Charge m_charge;
    chargecheck::Timing m_timing;
    QElapsedTimer m_elapsed;
    QTimer m_next;
    QSet<QString> m_declined;
    int m_listings = 0;
    int m_generation = 0;  // a listing sent before stop() answers into an older generation
    bool m_running = false;
};

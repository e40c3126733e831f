#include "collect/chargechecker.h"

#include "app/usersession.h"
#include "gateway/requests.h"

ChargeChecker::ChargeChecker(const chargecheck::Charge& charge, const chargecheck::Timing& timing, QObject* parent)
    : QObject(parent), m_charge(charge), m_timing(timing) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ChargeChecker::list);
}

void ChargeChecker::start() {
    m_running = true;
    m_elapsed.start();
    list();
}

void ChargeChecker::goOn(const QList<chargecheck::Candidate>& declined) {
    if (!m_running) {
        return;
    }
    for (const chargecheck::Candidate& c : declined) {
        m_declined.insert(c.orderNo);
    }
    scheduleNext();
}

void ChargeChecker::stop() {
    m_running = false;
    ++m_generation;
    m_next.stop();
}

void ChargeChecker::list() {
    if (!m_running) {
        return;
    }
    const UserSession& session = userSession();
    const QDateTime now = QDateTime::currentDateTime();
    const RequestBody body = requests::listPay(
        session.token(), 1, QString(), chargecheck::rangeStart(m_charge.sentAt, m_timing.clockToleranceSecs),
        chargecheck::rangeEnd(now, m_timing.clockToleranceSecs), m_charge.shopId, QString());
    ++m_listings;
    const int generation = m_generation;
    gateway::post(
        this, body,
        [this, generation](const gateway::Reply& r) {
            if (generation == m_generation) {
                onListing(r);
            }
        },
        m_timing.listTimeoutMs);
}

void ChargeChecker::onListing(const gateway::Reply& reply) {
    if (!m_running) {
        return;
    }
    // A refusal (an expired session, say) has no "listpay" array: it says nothing about the charge either.
    const QJsonObject content = reply.content();
    if (!reply.ok() || !content.value(QStringLiteral("listpay")).isArray()) {
        stop();
        emit listingFailed();
        return;
    }
    const QList<chargecheck::Candidate> found =
        chargecheck::candidates(m_charge, reply::arr(content, "listpay"), QDateTime::currentDateTime(),
                                m_timing.clockToleranceSecs, m_declined);
    if (!found.isEmpty()) {
        emit candidatesFound(found);  // the cashier answers through goOn() or stop()
        return;
    }
    scheduleNext();
}

void ChargeChecker::scheduleNext() {
    const qint64 left = m_timing.durationMs - m_elapsed.elapsed();
    if (left <= 0) {
        stop();
        emit notFound();
        return;
    }
    // The last listing falls on the end of the check, so a charge recorded just before it is still seen.
    m_next.start(static_cast<int>(qMin<qint64>(m_timing.intervalMs, left)));
}

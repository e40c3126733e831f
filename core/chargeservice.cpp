#include "core/chargeservice.h"

#include "core/till.h"
#include "payments/journal.h"

#include <QDebug>

ChargeController* ChargeService::controller(qint64 fen, QObject* parent) {
    return new ChargeController(m_till.paymentContext(), fen, parent);
}

bool ChargeService::mayStart(QString* why) {
    return ChargeController::mayStartCharge(m_till.paymentContext(), why);
}

QList<journal::Attempt> ChargeService::takeOverOpen(QString* elsewhere) {
    QList<journal::Attempt> taken;
    journal::Journal* j = m_till.journal();
    if (!j) {
        return taken;  // the charge itself says why nothing can be sent
    }
    QString error;
    const QList<journal::Attempt> open = j->open(QString(), &error);
    if (!error.isEmpty()) {
        return taken;  // the charge itself says why nothing can be sent
    }
    for (const journal::Attempt& a : open) {
        if (!journal::isCharge(a.kind) || ChargeController::holding(a.id)) {
            continue;
        }
        if (j->heldElsewhere(a)) {
            *elsewhere = j->blockedText(a);
            continue;
        }
        QString why;
        if (!j->takeOver(a.id, &why)) {
            // Settled or taken by another copy meanwhile: the charge itself is refused if one is still open.
            qWarning().noquote() << "open charge" << a.id << "not taken over:" << why;
            continue;
        }
        taken.append(a);
    }
    return taken;
}

reconcile::HandoverCheck* ChargeService::handoverCheck(QObject* parent) {
    return new reconcile::HandoverCheck(m_till.paymentContext(), parent);
}

#include "core/refundservice.h"

#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"
#include "payments/journal.h"

#include <algorithm>

void RefundService::items(QObject* receiver, const QString& orderNo, Finished<replies::Read<replies::Items>> done) {
    const PaymentContext till = m_till();
    till.gateway.post(receiver, requests::cards(till.session->token(), orderNo),
                      [done](const gateway::Reply& r) { done(replies::items(r)); });
}

RefundGuard* RefundService::guard(const QString& orderNo, QObject* parent) {
    m_guards.removeAll(nullptr);
    auto* guard = new RefundGuard(m_till(), orderNo, parent);
    m_guards.append(guard);
    return guard;
}

RefundGuard* RefundService::busyGuard() const {
    for (const QPointer<RefundGuard>& guard : m_guards) {
        if (guard && guard->busy()) {
            return guard;
        }
    }
    return nullptr;
}

QString RefundService::openRefundsNotice() {
    const PaymentContext till = m_till();
    journal::Journal* j = till.journal;
    if (!j) {
        return QString();
    }
    QString error;
    QList<journal::Attempt> open = j->open(QString(), &error);
    if (!error.isEmpty()) {
        return QString();  // a refund itself says why nothing can be sent
    }
    open.erase(std::remove_if(open.begin(), open.end(), [j](const journal::Attempt& a) { return j->heldElsewhere(a); }),
               open.end());
    const QMap<int, Shop> shops = till.session->shopsByIndex();
    return journal::openRefundsNotice(
        open, till.session->shopId(),
        [&shops](const QString& id) {
            for (const Shop& shop : shops) {
                if (shop.shopid == id) {
                    return shopDisplayText(shop).trimmed();
                }
            }
            return QString();
        },
        till.zone());
}

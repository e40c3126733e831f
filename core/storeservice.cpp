#include "core/storeservice.h"

#include "app/dataconfig.h"
#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

void StoreService::list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done) {
    m_gateway.post(receiver, requests::listShop(m_session.token()), [this, done](const gateway::Reply& r) {
        const replies::Read<QList<Shop>> shops = replies::shopList(r);
        for (int i = 0; i < shops.value.size(); ++i) {
            m_session.insertShop(i, shops.value.at(i));
        }
        done(shops);
    });
}

void StoreService::choose(int index) {
    m_session.setCurrentShop(m_session.shopAt(index));
}

bool StoreService::chosen() const {
    return !m_session.shopId().isEmpty();
}

void StoreService::remember(const QString& shownText) {
    m_settings.setShopName(shownText);
}

QString StoreService::remembered() {
    return m_settings.shopName();
}

#include "core/storeservice.h"

#include "core/till.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

void StoreService::list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done) {
    m_till.gateway().post(receiver, requests::listShop(m_till.session().token()),
                          [this, done](const gateway::Reply& r) {
                              const replies::Read<QList<Shop>> shops = replies::shopList(r);
                              for (int i = 0; i < shops.value.size(); ++i) {
                                  m_till.session().insertShop(i, shops.value.at(i));
                              }
                              done(shops);
                          });
}

void StoreService::choose(int index) {
    m_till.session().setCurrentShop(m_till.session().shopAt(index));
}

void StoreService::remember(const QString& shownText) {
    m_till.settings().setShopName(shownText);
}

QString StoreService::remembered() {
    return m_till.settings().shopName();
}

#include "core/listingservice.h"

#include "app/usersession.h"
#include "gateway/gatewaycall.h"
#include "gateway/requests.h"

QObject* ListingService::page(QObject* receiver, const Filter& filter, int page, int timeoutMs,
                              Finished<replies::Read<replies::ListingPage>> done) {
    const gateway::ListingFetch::Query q = range(filter);
    return m_gateway.post(
        receiver, requests::listPay(q.token, page, q.tradeNo, q.startDate, q.endDate, q.shopId, q.cardNo),
        [done](const gateway::Reply& r) { done(replies::listing(r)); }, timeoutMs);
}

gateway::ListingFetch::Query ListingService::range(const Filter& filter) {
    gateway::ListingFetch::Query q;
    q.token = m_session.token();
    q.tradeNo = filter.tradeNo;
    q.startDate = filter.startDate;
    q.endDate = filter.endDate;
    q.shopId = m_session.shopId();
    q.cardNo = filter.cardNo;
    return q;
}

gateway::ListingFetch* ListingService::reader(QObject* owner, PageRead pageRead, Ended ended) {
    auto* fetch = new gateway::ListingFetch(m_gateway, owner);
    QObject::connect(fetch, &gateway::ListingFetch::pageRead, owner, std::move(pageRead));
    QObject::connect(fetch, &gateway::ListingFetch::finished, owner, std::move(ended));
    return fetch;
}

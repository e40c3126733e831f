#include "gateway/listingfetch.h"

#include "gateway/requests.h"

namespace gateway {

ListingFetch::ListingFetch(const Link& link, QObject* parent)
    : QObject(parent), m_link(link), m_timeoutMs(HttpFun::kDefaultTimeoutMs) {
    qRegisterMetaType<gateway::ListingFetch::Ending>();
}

void ListingFetch::start(const Query& query) {
    ++m_generation;
    m_query = query;
    m_page = 1;
    m_running = true;
    requestPage();
}

void ListingFetch::cancel() {
    ++m_generation;
    m_running = false;
}

void ListingFetch::requestPage() {
    const RequestBody body = requests::listPay(m_query.token, m_page, m_query.tradeNo, m_query.startDate,
                                               m_query.endDate, m_query.shopId, m_query.cardNo);
    ++m_requests;
    const int generation = m_generation;
    m_link.post(
        this, body,
        [this, generation](const Reply& r) {
            if (generation == m_generation && m_running) {
                onReply(r);
            }
        },
        m_timeoutMs);
}

void ListingFetch::onReply(const Reply& reply) {
    Ending ending;
    ending.pagesRead = m_page - 1;
    const replies::Read<replies::ListingPage> read = replies::listing(reply);
    if (!read.ok() || !read.value.listed) {
        ending.failure = read.ok() ? replies::Status{replies::Verdict::Unusable, QString(), reply.kind} : read.status;
        m_running = false;
        emit finished(ending);
        return;
    }
    const int total = read.value.pagesInRange;
    const int generation = m_generation;
    emit pageRead(m_page, total, read.value);
    if (generation != m_generation || !m_running) {
        return;  // the reader gave this listing up (or started another) while taking the page
    }
    ending.pagesRead = m_page;
    const int last = m_maxPages > 0 ? qMin(total, m_maxPages) : total;
    if (m_page < last) {
        ++m_page;
        requestPage();
        return;
    }
    m_running = false;
    ending.ok = true;
    ending.truncated = m_page < total;
    emit finished(ending);
}

}  // namespace gateway

#pragma once

#include "core/services.h"
#include "gateway/listingfetch.h"

class UserSession;

// The store's transactions ("Account.Pay.listPay"): one page for the query page, every page of a range for the
// export. Always the session's store, with the session's token.
class ListingService {
public:
    // What the query page filters on, as it sends it.
    struct Filter {
        QString tradeNo;
        QString startDate;  // "yyyy-M-d hh:mm:ss"
        QString endDate;
        QString cardNo;
    };

    // A page's wait for its answer, as every request's.
    static constexpr int kTimeoutMs = HttpFun::kDefaultTimeoutMs;

    ListingService(const gateway::Link& gateway, const UserSession& session) : m_gateway(gateway), m_session(session) {}

    // Page `page` of the range. Returns the request: disconnect `receiver` from it to drop its answer.
    QObject* page(QObject* receiver, const Filter& filter, int page, int timeoutMs,
                  Finished<replies::Read<replies::ListingPage>> done);
    // The range as a reader of every page asks for it.
    gateway::ListingFetch::Query range(const Filter& filter);
    // A reader of every page of a range, owned by `owner`: `pageRead` hears of each page as it arrives, `ended` of
    // the end (the last page in, or one that failed). Start, cancel and time it through the reader.
    using PageRead = std::function<void(int page, int totalPages, const replies::ListingPage& listing)>;
    using Ended = std::function<void(const gateway::ListingFetch::Ending& ending)>;
    gateway::ListingFetch* reader(QObject* owner, PageRead pageRead, Ended ended);

private:
    const gateway::Link& m_gateway;
    const UserSession& m_session;
};

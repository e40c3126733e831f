#pragma once

#include "gateway/gatewaycall.h"
#include "gateway/replies.h"

#include <QObject>
#include <QString>

// Reads every page of one "Account.Pay.listPay" range in turn, page 1 first, one request at a time. Each page is
// handed on as it arrives and not kept, so a long listing costs the memory of one page here. Used wherever a range
// must be read whole: the look-up of a charge whose answer never came, the shift handover's check of this till's
// record, the export of the transaction list.
namespace gateway {

class ListingFetch : public QObject {
    Q_OBJECT

public:
    // The filters of the range, as the transaction query sends them.
    struct Query {
        QString token;
        QString tradeNo;
        QString startDate;  // "yyyy-M-d hh:mm:ss"
        QString endDate;
        QString shopId;
        QString cardNo;
    };

    // How a listing ended.
    struct Ending {
        bool ok = false;         // every page (up to the limit) was read
        bool truncated = false;  // the range had more pages than the limit: the rest was left unread
        int pagesRead = 0;
        replies::Status failure;  // when not ok: why the failed page could not be read
    };

    // Pages are asked of the gateway `link` leads to.
    explicit ListingFetch(const Link& link, QObject* parent = nullptr);

    // Each page's wait for its reply (the request client's 30 s by default).
    void setTimeout(int ms) { m_timeoutMs = ms; }
    // At most this many pages are read (0: no limit).
    void setMaxPages(int pages) { m_maxPages = pages; }

    // Starts reading `query` from page 1. A listing still in progress is given up: its later replies are dropped.
    void start(const Query& query);
    // Gives up the listing in progress; nothing more is signalled for it.
    void cancel();
    bool running() const { return m_running; }

    // Page requests sent since construction, over every listing.
    int requestsSent() const { return m_requests; }

signals:
    // Page `page` of `totalPages` (as this page counts them), read once. A page is a listing page only when the
    // gateway answered with a "listpay" array: an answer without rows is not an empty range (it may be an expired
    // session), so it ends the listing as failed.
    void pageRead(int page, int totalPages, const replies::ListingPage& listing);
    void finished(const gateway::ListingFetch::Ending& ending);

private:
    void requestPage();
    void onReply(const Reply& reply);

    Link m_link;
    Query m_query;
    int m_timeoutMs;
    int m_maxPages = 0;
    int m_page = 0;
    int m_generation = 0;
    int m_requests = 0;
    bool m_running = false;
};

}  // namespace gateway

Q_DECLARE_METATYPE(gateway::ListingFetch::Ending)

#pragma once

#include "gatewayclock.h"
#include "httpfun.h"
#include "reply.h"

#include <QByteArray>
#include <QJsonObject>
#include <QTimeZone>
#include <functional>

class RequestBody;

// The one way a window calls the gateway: body in, parsed outcome out.
namespace gateway {

struct Reply {
    enum Kind {
        Envelope,     // HTTP 200 and a JSON object: `root` holds it
        NotEnvelope,  // the gateway answered, but with another status or a body that is not a JSON object
        NotSent,      // the request never reached the gateway
        Unknown,      // sent, but no complete answer came (time-out, connection lost): it may have been carried out
    };
    Kind kind = Unknown;
    int httpStatus = 0;
    QByteArray raw;
    QJsonObject root;
    // The zone of the gateway's wall-clock times in it ("pay_date"): its till's gateway's.
    QTimeZone zone = defaultZone();

    bool ok() const { return kind == Envelope; }
    QJsonObject content() const { return reply::content(root); }
};

// Reads what HttpFun reported into a Reply whose wall-clock times are in `zone`.
Reply readReply(HttpFun::Ending ending, int httpStatus, bool bSuccess, const QByteArray& bytes,
                const QTimeZone& zone = defaultZone());

using Done = std::function<void(const Reply&)>;

// A till's way to its gateway: the address, read as each request goes out (a settings page may change it), and the
// till's clock, which every reply's Date header sets and whose zone its wall-clock times are read in. A small value:
// the till hands it to whatever posts for it.
class Link {
public:
    Link(std::function<QString()> url, Clock& clock) : m_url(std::move(url)), m_clock(&clock) {}

    QString url() const { return m_url ? m_url() : QString(); }
    Clock& clock() const { return *m_clock; }

    // Posts `body` once and calls `done` with the outcome. `done` is not called when `receiver` is gone by then; pass
    // nullptr for a request whose answer nobody waits for. Returns the request (it deletes itself).
    HttpFun* post(QObject* receiver, const RequestBody& body, Done done = {},
                  int timeoutMs = HttpFun::kDefaultTimeoutMs) const;

private:
    std::function<QString()> m_url;
    Clock* m_clock;
};

}  // namespace gateway

#pragma once

#include "httpfun.h"
#include "reply.h"

#include <QByteArray>
#include <QJsonObject>
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

    bool ok() const { return kind == Envelope; }
    QJsonObject content() const { return reply::content(root); }
};

// Reads what HttpFun reported into a Reply.
Reply readReply(HttpFun::Ending ending, int httpStatus, bool bSuccess, const QByteArray& bytes);

using Done = std::function<void(const Reply&)>;

// Posts `body` to the gateway at `url` once and calls `done` with the outcome. `done` is not called when `receiver` is
// gone by then; pass nullptr for a request whose answer nobody waits for. Returns the request (it deletes itself).
HttpFun* post(const QString& url, QObject* receiver, const RequestBody& body, Done done = {},
              int timeoutMs = HttpFun::kDefaultTimeoutMs);

}  // namespace gateway

#include "gatewaycall.h"

#include "requestbody.h"

namespace gateway {

Reply readReply(HttpFun::Ending ending, int httpStatus, bool bSuccess, const QByteArray& bytes, const QTimeZone& zone) {
    Reply r;
    r.zone = zone;
    r.httpStatus = httpStatus;
    r.raw = bytes;
    switch (ending) {
        case HttpFun::Ending::NotSent:
            r.kind = Reply::NotSent;
            break;
        case HttpFun::Ending::Unknown:
            r.kind = Reply::Unknown;
            break;
        case HttpFun::Ending::Answered:
            if (bSuccess && reply::isEnvelope(bytes)) {
                r.kind = Reply::Envelope;
                r.root = reply::parse(bytes);
            } else {
                r.kind = Reply::NotEnvelope;
            }
            break;
    }
    return r;
}

HttpFun* Link::post(QObject* receiver, const RequestBody& body, Done done, int timeoutMs) const {
    auto* http = new HttpFun;
    http->setTimeoutInterval(timeoutMs);
    http->setClock(m_clock);
    if (done) {
        // The receiver is the connection's context: a window that is gone gets nothing. The zone is the one in force
        // when the answer is read.
        QObject::connect(http, &HttpFun::signal_requestFinished, receiver ? receiver : http,
                         [http, done, clock = m_clock](bool bSuccess, const QByteArray& bytes) {
                             done(readReply(http->ending(), http->httpStatus(), bSuccess, bytes, clock->zone()));
                         });
    }
    http->post(url(), body.bytes());
    return http;
}

}  // namespace gateway

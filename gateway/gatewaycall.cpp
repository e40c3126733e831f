#include "gatewaycall.h"

#include "requestbody.h"

namespace gateway {

Reply readReply(HttpFun::Ending ending, int httpStatus, bool bSuccess, const QByteArray& bytes) {
    Reply r;
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

HttpFun* post(const QString& url, QObject* receiver, const RequestBody& body, Done done, int timeoutMs) {
    auto* http = new HttpFun;
    http->setTimeoutInterval(timeoutMs);
    if (done) {
        // The receiver is the connection's context: a window that is gone gets nothing.
        QObject::connect(http, &HttpFun::signal_requestFinished, receiver ? receiver : http,
                         [http, done](bool bSuccess, const QByteArray& bytes) {
                             done(readReply(http->ending(), http->httpStatus(), bSuccess, bytes));
                         });
    }
    http->post(url, body.bytes());
    return http;
}

}  // namespace gateway

#include "httpfun.h"

#include "gatewayclock.h"
#include "gatewaylog.h"

#include <QDateTime>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>

namespace {

// The body as an upload device that can be read once. Qt's HTTP layer silently sends a request again when its
// connection closes after sending and before any reply byte, POST included; it asks the device to rewind first. This
// device refuses once reading has begun, so Qt reports a content-resend error instead of charging twice.
class OneShotBody : public QIODevice {
public:
    OneShotBody(const QByteArray& data, QObject* parent) : QIODevice(parent), m_data(data) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }
    bool reset() override { return !m_started && QIODevice::reset(); }
    bool seek(qint64 pos) override { return (!m_started || pos == this->pos()) && QIODevice::seek(pos); }

protected:
    qint64 readData(char* out, qint64 max) override {
        const qint64 at = pos();
        const qint64 n = qMin(max, m_data.size() - at);
        if (n <= 0) {
            return n < 0 ? -1 : 0;
        }
        m_started = true;
        memcpy(out, m_data.constData() + at, static_cast<size_t>(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    bool m_started = false;
};

// Errors that mean nothing reached the gateway, so nothing can have been carried out.
bool neverSent(QNetworkReply::NetworkError e) {
    switch (e) {
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::SslHandshakeFailedError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyNotFoundError:
        case QNetworkReply::ProxyAuthenticationRequiredError:
        case QNetworkReply::ProtocolUnknownError:
        case QNetworkReply::ProtocolInvalidOperationError:
            return true;
        default:
            return false;
    }
}

// Errors of the connection itself (as opposed to an HTTP status the server chose to send).
bool connectionError(QNetworkReply::NetworkError e) {
    return (e > QNetworkReply::NoError && e < QNetworkReply::ProxyConnectionRefusedError) ||
           e == QNetworkReply::ContentReSendError;
}

}  // namespace

HttpFun::HttpFun(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpFun::slot_requestTimeout);
}

HttpFun::~HttpFun() = default;

void HttpFun::post(const QString& url, const QByteArray& body) {
    m_url = url;
    QNetworkRequest request;
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    // One attempt, no redirects: a 3xx is reported as a failure with its body.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (url.toLower().startsWith(QLatin1String("https"))) {
        // Qt's certificate verification stays on; only TLS 1.2 and later are offered.
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setProtocol(QSsl::TlsV1_2OrLater);
        request.setSslConfiguration(ssl);
    }
    m_action = gatewaylog::actionOf(body);
    m_clock.start();
    m_sentMs = QDateTime::currentMSecsSinceEpoch();
    m_sentMono = gateway::monotonicMs();
    gatewaylog::request(url, body);
    m_reply = m_manager->post(request, new OneShotBody(body, this));
    connect(m_reply, &QNetworkReply::finished, this, &HttpFun::slot_requestFinished);
    // The network thread reads ahead only this far; the body is taken in here, so a reply above the limit is
    // refused after at most the limit and one buffer, not after it has been read whole.
    m_reply->setReadBufferSize(kReadBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpFun::slot_readBody);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpFun::slot_readBody);
    m_timer.start(m_timeoutMs);
}

void HttpFun::slot_requestFinished() {
    if (m_done) {
        return;
    }
    m_done = true;
    m_timer.stop();
    slot_readBody();  // what is left of the body (nothing, once it was refused)
    if (m_tooLarge) {
        gatewaylog::reply(m_url, m_action, m_clock.elapsed(),
                          QStringLiteral("refused: larger than %1 bytes").arg(kMaxReplyBytes), QByteArray());
        m_ending = Ending::Unknown;
        m_status = 0;
        emit signal_requestFinished(false, QByteArrayLiteral("reply too large"));
        m_reply->deleteLater();
        deleteLater();
        return;
    }
    const QByteArray body = m_body;
    const QNetworkReply::NetworkError error = m_reply->error();
    m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_status > 0 && !connectionError(error)) {
        m_ending = Ending::Answered;
        if (m_gatewayClock) {
            m_gatewayClock->noteDate(m_reply->rawHeader("Date"), m_sentMs, QDateTime::currentMSecsSinceEpoch(),
                                     m_sentMono, gateway::monotonicMs());
        }
    } else {
        m_ending = neverSent(error) && m_status == 0 ? Ending::NotSent : Ending::Unknown;
    }
    const bool ok = m_ending == Ending::Answered && m_status == 200;
    const QString outcome = ok ? QStringLiteral("HTTP 200")
                               : QStringLiteral("failed (%1): status %2, %3")
                                     .arg(m_ending == Ending::NotSent    ? QStringLiteral("not sent")
                                          : m_ending == Ending::Answered ? QStringLiteral("answered")
                                                                         : QStringLiteral("outcome unknown"))
                                     .arg(m_status)
                                     .arg(m_reply->errorString());
    gatewaylog::reply(m_url, m_action, m_clock.elapsed(), outcome, body);
    emit signal_requestFinished(ok, body);
    m_reply->deleteLater();
    deleteLater();
}

void HttpFun::slot_readBody() {
    if (m_tooLarge || !m_reply) {
        return;
    }
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    // What has arrived, up to one byte past the limit: read(n) would set n bytes aside first, a megabyte a reply.
    m_body += m_reply->read(qMin(m_reply->bytesAvailable(), kMaxReplyBytes + 1 - m_body.size()));
    if (announced <= kMaxReplyBytes && m_body.size() <= kMaxReplyBytes) {
        return;
    }
    m_tooLarge = true;
    m_body.clear();
    if (!m_done) {
        m_reply->abort();  // emits finished, which reports it
    }
}

void HttpFun::slot_requestTimeout() {
    if (m_done) {
        return;
    }
    m_done = true;
    gatewaylog::reply(m_url, m_action, m_clock.elapsed(),
                      QStringLiteral("timed out after %1 ms (outcome unknown)").arg(m_timeoutMs), QByteArray());
    m_ending = Ending::Unknown;
    emit signal_requestFinished(false, QByteArrayLiteral("timeout"));
    if (m_reply) {
        // Aborting emits finished; m_done keeps that from being reported a second time.
        m_reply->abort();
        m_reply->deleteLater();
    }
    deleteLater();
}

#include "httpfun.h"

#include "requestbody.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>

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
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    // One attempt, no redirects: a 3xx is reported as a failure with its body.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (url.toLower().startsWith(QLatin1String("https"))) {
        // Qt's certificate verification stays on; only TLS 1.2 and later are offered.
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setProtocol(QSsl::TlsV1_2OrLater);
        request.setSslConfiguration(ssl);
    }
    qDebug().noquote() << "post" << url << RequestBody::redactFormBody(body);
    m_reply = m_manager->post(request, body);
    connect(m_reply, &QNetworkReply::finished, this, &HttpFun::slot_requestFinished);
    m_timer.start(m_timeoutMs);
}

void HttpFun::slot_requestFinished() {
    if (m_done) {
        return;
    }
    m_done = true;
    m_timer.stop();
    const QByteArray body = m_reply->readAll();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        qDebug().noquote() << "request to" << m_url << "failed: status" << status << m_reply->errorString();
    }
    emit signal_requestFinished(status == 200, body);
    m_reply->deleteLater();
    deleteLater();
}

void HttpFun::slot_requestTimeout() {
    if (m_done) {
        return;
    }
    m_done = true;
    qDebug().noquote() << "request to" << m_url << "timed out after" << m_timeoutMs << "ms";
    emit signal_requestFinished(false, QByteArrayLiteral("timeout"));
    if (m_reply) {
        // Aborting emits finished; m_done keeps that from being reported a second time.
        m_reply->abort();
        m_reply->deleteLater();
    }
    deleteLater();
}

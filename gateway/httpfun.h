#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;
namespace gateway {
class Clock;
}

// One gateway request. Create it without a parent, connect signal_requestFinished, call post() once, forget it:
// it reports exactly one outcome and then deletes itself. No retries, no redirects, and the body goes out on the wire
// once: a connection lost after sending is reported, never silently sent again.
class HttpFun : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 30000;
    // A reply body larger than this is not read: a page of twenty transactions is a few KiB. It ends the request as
    // sent-without-answer (for a charge or refund: an unknown outcome, never a refusal).
    static constexpr qint64 kMaxReplyBytes = 1024 * 1024;
    static constexpr qint64 kReadBufferBytes = 64 * 1024;

    // How the request ended, readable while signal_requestFinished is being emitted.
    enum class Ending {
        Answered,  // a complete HTTP reply arrived (any status)
        NotSent,   // the gateway never got the request (connection refused, unknown host, TLS failure)
        Unknown,   // sent, but no complete reply (time-out, connection lost): it may have been carried out
    };

    explicit HttpFun(QObject* parent = nullptr);
    ~HttpFun() override;

    void post(const QString& url, const QByteArray& body);

    // The clock the reply's Date header sets (the till's); none by default.
    void setClock(gateway::Clock* clock) { m_gatewayClock = clock; }

    // Tests shorten the wait; production keeps 30000 ms.
    void setTimeoutInterval(int ms) { m_timeoutMs = ms; }
    int timeoutInterval() const { return m_timeoutMs; }

    Ending ending() const { return m_ending; }
    int httpStatus() const { return m_status; }

signals:
    // bSuccess: a complete reply with HTTP status 200. On a time-out byteResult is "timeout".
    void signal_requestFinished(bool bSuccess, const QByteArray& byteResult);

private slots:
    void slot_requestFinished();
    void slot_requestTimeout();
    void slot_readBody();

private:
    QNetworkAccessManager* m_manager;
    QNetworkReply* m_reply = nullptr;
    QTimer m_timer;
    QString m_url;
    QByteArray m_action;  // for the log
    QElapsedTimer m_clock;
    gateway::Clock* m_gatewayClock = nullptr;
    qint64 m_sentMs = 0;    // local time the request went out, for the gateway's clock
    qint64 m_sentMono = 0;  // the same moment on the monotonic clock
    int m_timeoutMs = kDefaultTimeoutMs;
    bool m_done = false;
    bool m_tooLarge = false;
    QByteArray m_body;
    Ending m_ending = Ending::Unknown;
    int m_status = 0;
};

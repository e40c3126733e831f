#pragma once

#include <QByteArray>
#include <QString>

// The gateway's lines in the operations log: every request and its reply with the action, sizes, time taken and
// outcome, bodies through the redaction (no token, password, answer or payment code ever reaches a log).
namespace gatewaylog {

// A reply body longer than this is cut in its info line (a listing page is long); the whole redacted body goes to
// the debug level.
constexpr int kInfoBodyBytes = 2048;

// The value of "action" in a form body ("Share.Ace.login"), empty when there is none.
QByteArray actionOf(const QByteArray& formBody);

void request(const QString& url, const QByteArray& formBody);
// `outcome` says how it ended ("HTTP 200", "timed out after 30000 ms", ...); `body` is the reply as received.
void reply(const QString& url, const QByteArray& action, qint64 elapsedMs, const QString& outcome,
           const QByteArray& body);

}  // namespace gatewaylog

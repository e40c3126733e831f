#pragma once

#include <QString>
#include <QStringList>

// The operations log: what the cashier saw and did, for support. Every Qt message (the client's categories in
// logcategories.h and Qt's own warnings) goes through Qt's message handler into a rotating file, cashier.log in the
// folder "logs" beside data.ini, written on a background thread. A log that cannot be written turns itself off with
// one line on standard error; it never holds up or stops a sale.
namespace oplog {

enum class Level { Debug, Info, Warning };

// The level asked for: "--log-level X" (or "--log-level=X") among the arguments, else the environment's value
// (CASHIER_LOG_LEVEL), else Info. X is debug, info or warning; anything else counts as not asked.
Level levelFrom(const QStringList& arguments, const QString& environment);

struct Limits {
    qint64 fileBytes = 2 * 1024 * 1024;  // one file
    int files = 5;                       // cashier.log and the older ones, cashier.1.log ...
};

// Installs the message handler and opens `folder`/cashier.log (folder 0700, files 0600). `echo` passes every
// message on to the handler that was there before (the debug output on standard error). False when the file cannot
// be opened: the log stays off, the handler still echoes.
bool start(const QString& folder, Level level, const Limits& limits = {}, bool echo = true);
// True while lines reach the file.
bool isOn();
// Writes what is queued, closes the file and gives the handler back.
void stop();

// For the client: the level from its arguments and environment, the log in `folder`, and the first lines
// (version, platform, folders).
void startForClient(const QString& folder, const QString& dataFolder, const QStringList& arguments);
// The last line, then stop().
void endForClient(int exitCode);

// One event on one line: line breaks become "\n".
QByteArray oneLine(const QString& text);

}  // namespace oplog

#include "journalsql.h"

#include "gateway/gatewayclock.h"

#include <QDebug>

namespace journal::sql {

namespace {

// The reason as the cashier is told it; SQLite's own words go to the debug output.
QString reasonFor(int rc) {
    switch (rc & 0xff) {
        case SQLITE_FULL:
            return QStringLiteral("磁盘已满");
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
        case SQLITE_AUTH:
            return QStringLiteral("文件夹或文件不可写");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("文件正被另一程序占用");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return QStringLiteral("文件已损坏");
        default:
            return QStringLiteral("读写出错");
    }
}

}  // namespace

QString humanTime(const QDateTime& t, const QTimeZone& zone) {
    return gateway::inZone(t, zone).toString(Qt::ISODateWithMs);
}

void setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

QString failure(sqlite3* db, int rc, const char* what) {
    // SQLite's last message when it was the one that failed; the code's own words for a failure found here.
    const bool sqliteSaid = db && sqlite3_errcode(db) != SQLITE_OK;
    qWarning().noquote() << "payment journal:" << what
                         << "failed:" << (sqliteSaid ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    return reasonFor(rc);
}

int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

Attempt rowToAttempt(const Statement& s, bool firstSchema) {
    Attempt a;
    a.id = s.integer(0);
    a.saleId = s.text(1);
    // A row changed by hand to a name this version does not know is taken as the most careful reading: an open
    // charge, which keeps the next charge back until someone looks at it.
    a.kind = kindFromName(s.text(2)).value_or(Kind::Charge);
    a.fen = s.integer(3);
    a.shopId = s.text(4);
    a.cashierId = s.text(5);
    a.maskedCode = s.text(6);
    a.orderNo = s.text(7);
    // As moments (UTC): no look at this PC's time zone for each row read, and shown on the gateway's wall clock.
    a.createdAt = QDateTime::fromMSecsSinceEpoch(s.integer(8), Qt::UTC);
    if (!s.isNull(9)) {
        a.settledAt = QDateTime::fromMSecsSinceEpoch(s.integer(9), Qt::UTC);
    }
    a.state = stateFromName(s.text(10)).value_or(State::Unresolved);
    a.note = s.text(11);
    a.releasedBy = s.text(12);
    if (!firstSchema) {
        if (!s.isNull(13)) {
            a.refundedBefore = s.integer(13);
        }
        a.owner = Owner{s.integer(14), s.text(15)};
    }
    return a;
}

}  // namespace journal::sql

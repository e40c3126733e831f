#pragma once

// What the journal's source files share: the statement wrapper, the columns attempts are read by and the failure
// reporting. Not for use outside payments/.

#include "journal.h"
#include "openmoney.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <sqlite3.h>

namespace journal::sql {

// Columns in the order rowToAttempt reads them; the first thirteen are those of the first schema.
inline constexpr const char* kColumns =
    "id, sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, settled_ms, state, note, "
    "released_by, refunded_before, owner_pid, owner_mark";
inline constexpr const char* kColumnsV1 =
    "id, sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, settled_ms, state, note, "
    "released_by";
inline constexpr const char* kOpen = openmoney::kOpenCondition;

// On the gateway's wall clock, with its offset: the times the gateway lists sales by.
QString humanTime(const QDateTime& t, const QTimeZone& zone);
void setError(QString* error, const QString& text);
// Logs what failed and returns the reason as the cashier is told it.
QString failure(sqlite3* db, int rc, const char* what);

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_rc == SQLITE_OK || m_rc == SQLITE_ROW || m_rc == SQLITE_DONE; }
    int rc() const { return m_rc; }

    void bind(int i, const QVariant& v) {
        if (!ok()) {
            return;
        }
        if (!v.isValid()) {
            m_rc = sqlite3_bind_null(m_stmt, i);
        } else if (v.type() == QVariant::LongLong || v.type() == QVariant::Int) {
            m_rc = sqlite3_bind_int64(m_stmt, i, v.toLongLong());
        } else {
            const QByteArray utf8 = v.toString().toUtf8();
            m_rc = sqlite3_bind_text(m_stmt, i, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        }
    }
    void bindAll(const QVariantList& args) {
        for (int i = 0; i < args.size(); ++i) {
            bind(i + 1, args.at(i));
        }
    }
    // True while a row is at hand; afterwards ok() tells whether the statement ran to its end.
    bool next() {
        if (!ok()) {
            return false;
        }
        m_rc = sqlite3_step(m_stmt);
        return m_rc == SQLITE_ROW;
    }
    bool run() {
        while (next()) {
        }
        return m_rc == SQLITE_DONE;
    }
    QString text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
    }
    qint64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    bool isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

int exec(sqlite3* db, const char* sql);
// One row read by kColumns (kColumnsV1 for the first schema).
Attempt rowToAttempt(const Statement& s, bool firstSchema = false);

}  // namespace journal::sql

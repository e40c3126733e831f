// The journal's answers for the look-back after a refused or unanswered charge: which amounts were looked back for,
// this till's own paid charges and answered ones in a window, the rows the cashier said were not an attempt's payment,
// and the paid sale whose result was never shown.
#include "journal.h"

#include "app/logcategories.h"
#include "journalsql.h"

#include <QDebug>
#include <QSet>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace journal {

using namespace sql;

std::optional<QDateTime> Journal::lookBackSince(qint64 fen, QString* error) const {
    Statement s(m_db,
                "SELECT value FROM meta WHERE key = 'lost_since_ms' AND NOT EXISTS "
                "(SELECT 1 FROM looked_back WHERE fen = ?)");
    s.bind(1, fen);
    const bool row = s.next();
    if (!s.ok()) {
        setError(error, failure(m_db, s.rc(), "look-back"));
        return std::nullopt;
    }
    if (!row) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(s.text(0).toLongLong());
}

bool Journal::lookedBack(qint64 fen, QString* error) {
    Statement s(m_db, "INSERT OR IGNORE INTO looked_back (fen) VALUES (?)");
    s.bind(1, fen);
    if (!s.run()) {
        setError(error, failure(m_db, s.rc(), "look-back"));
        return false;
    }
    return true;
}

int Journal::prune(const QDateTime& before, QString* error) {
    Statement s(m_db, "DELETE FROM attempts WHERE created_ms < ? AND state NOT IN ('sending', 'unresolved')");
    s.bind(1, before.toMSecsSinceEpoch());
    if (!s.run()) {
        setError(error, failure(m_db, s.rc(), "prune"));
        return -1;
    }
    const int pruned = sqlite3_changes(m_db);
    if (exec(m_db,
             "DELETE FROM declined WHERE attempt_id NOT IN (SELECT id FROM attempts);"
             "DELETE FROM other_numbers WHERE attempt_id NOT IN (SELECT id FROM attempts);") != SQLITE_OK) {
        qCWarning(lcJournal).noquote() << "prune:" << failure(m_db, sqlite3_errcode(m_db), "prune");
    }
    return pruned;
}

QSet<QString> Journal::paidChargeNumbers(qint64 fen, const QDateTime& from, const QDateTime& to, QString* error) const {
    // The rule asks about one amount over a few minutes: the index on (fen, created_ms) answers it whatever the day's
    // count of sales.
    Statement s(m_db,
                "SELECT a.id, a.order_no, o.number FROM attempts a LEFT JOIN other_numbers o ON o.attempt_id = a.id "
                "WHERE a.fen = ?1 AND a.created_ms >= ?2 AND a.created_ms < ?3 AND a.kind != 'refund' "
                "AND a.state = 'paid'");
    s.bindAll({fen, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch()});
    QSet<QString> out;
    while (s.next()) {
        for (int column : {1, 2}) {
            if (!s.isNull(column) && !s.text(column).isEmpty()) {
                out.insert(s.text(column));
            }
        }
    }
    if (!s.ok()) {
        setError(error, failure(m_db, s.rc(), "read"));
        return {};
    }
    // Outcomes not yet written count as written.
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        if (it->state == State::Paid) {
            for (const QString& n : {it->orderNo, it->otherNo}) {
                if (!n.isEmpty()) {
                    out.insert(n);
                }
            }
        }
    }
    return out;
}

QList<Attempt> Journal::answeredCharges(qint64 fen, const QDateTime& from, const QDateTime& to, QString* error) const {
    QString readError;
    QList<Attempt> out = select(
        "fen = ?1 AND state IN ('refused', 'released') AND created_ms >= ?2 AND "
        "created_ms < ?3 AND kind != 'refund'",
        {fen, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch()}, &readError);
    // An outcome not yet written is not in the file's state column.
    for (const Attempt& a : selectUnwritten(&readError)) {
        const bool listed = std::any_of(out.cbegin(), out.cend(), [&a](const Attempt& o) { return o.id == a.id; });
        if (!listed && isCharge(a.kind) && !isOpen(a.state) && a.state != State::NotSent && a.fen == fen &&
            a.createdAt >= from && a.createdAt < to) {
            out.append(a);
        }
    }
    // Of the paid charges only those of the same sales: a till that sells this amount all day does not read its day's
    // sales for each new one.
    QSet<QString> sales;
    for (const Attempt& a : out) {
        sales.insert(a.saleId);
    }
    for (const QString& sale : std::as_const(sales)) {
        out += select(
            "sale_id = ?1 AND fen = ?2 AND state = 'paid' AND created_ms >= ?3 AND created_ms < ?4 AND "
            "kind != 'refund'",
            {sale, fen, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch()}, &readError);
    }
    if (!readError.isEmpty()) {
        setError(error, readError);
        return {};
    }
    std::sort(out.begin(), out.end(), [](const Attempt& x, const Attempt& y) { return x.id < y.id; });
    return out;
}

QSet<QString> Journal::declinedFor(qint64 attemptId, QString* error) const {
    Statement s(m_db, "SELECT order_no FROM declined WHERE attempt_id = ?");
    s.bind(1, attemptId);
    QSet<QString> out;
    while (s.next()) {
        out.insert(s.text(0));
    }
    if (!s.ok()) {
        setError(error, failure(m_db, s.rc(), "read"));
        return {};
    }
    return out;
}

bool Journal::decline(const QList<qint64>& attemptIds, const QStringList& orderNumbers, QString* error) {
    int rc = exec(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        setError(error, failure(m_db, rc, "decline"));
        return false;
    }
    for (qint64 id : attemptIds) {
        for (const QString& number : orderNumbers) {
            if (number.isEmpty()) {
                continue;
            }
            Statement s(m_db, "INSERT OR IGNORE INTO declined (attempt_id, order_no) VALUES (?, ?)");
            s.bindAll({id, number});
            if (!s.run()) {
                setError(error, failure(m_db, s.rc(), "decline"));
                exec(m_db, "ROLLBACK");
                return false;
            }
        }
    }
    if ((rc = exec(m_db, "COMMIT")) != SQLITE_OK) {
        setError(error, failure(m_db, rc, "decline"));
        exec(m_db, "ROLLBACK");
        return false;
    }
    return true;
}

std::optional<Attempt> Journal::paidUnshown(QString* error) const {
    Statement s(m_db, "SELECT value FROM meta WHERE key = 'paid_unshown'");
    const bool row = s.next();
    if (!s.ok()) {
        setError(error, failure(m_db, s.rc(), "read"));
        return std::nullopt;
    }
    return row ? attempt(s.text(0).toLongLong(), error) : std::nullopt;
}

void Journal::resultShown(qint64 attemptId) {
    Statement s(m_db, "DELETE FROM meta WHERE key = 'paid_unshown' AND value = ?");
    s.bind(1, QString::number(attemptId));
    if (!s.run()) {
        qCWarning(lcJournal).noquote() << "attempt" << attemptId
                                       << "result shown, not recorded:" << failure(m_db, s.rc(), "shown");
    }
}

QList<Attempt> Journal::unwritten() const {
    QList<Attempt> out;
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        if (std::optional<Attempt> a = attempt(it.key())) {
            out.append(*a);
        }
    }
    return out;
}

}  // namespace journal

#include "journal.h"

#include "app/logcategories.h"
#include "app/money.h"
#include "gateway/gatewayclock.h"
#include "journalsql.h"

#include <QDebug>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace journal {

using namespace sql;

QString Journal::humanTime(const QDateTime& t) const {
    return journal::humanTime(t, m_clock->zone());
}

bool Journal::carryOver(const QList<Attempt>& open, const QDateTime& lostSince, QString* error) {
    if (open.isEmpty() && !lostSince.isValid()) {
        return true;
    }
    int rc = exec(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        setError(error, failure(m_db, rc, "carry over"));
        return false;
    }
    auto abandon = [&](int code) {
        setError(error, failure(m_db, code, "carry over"));
        exec(m_db, "ROLLBACK");
        return false;
    };
    for (const Attempt& a : open) {
        Statement s(m_db,
                    "INSERT INTO attempts (sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, "
                    "created_at, state, note, refunded_before, owner_pid, owner_mark) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        // The owner stays: an attempt a copy still running is sending remains that copy's.
        s.bindAll({a.saleId, kindName(a.kind), a.fen, a.shopId, a.cashierId, a.maskedCode, a.orderNo,
                   a.createdAt.toMSecsSinceEpoch(), humanTime(a.createdAt), stateName(State::Unresolved),
                   QStringLiteral("从无法读取的收款记录文件中找回"),
                   a.refundedBefore ? QVariant(*a.refundedBefore) : QVariant(), a.owner.pid, a.owner.mark});
        if (!s.run()) {
            return abandon(s.rc());
        }
    }
    if (lostSince.isValid()) {
        Statement m(m_db, "INSERT OR REPLACE INTO meta (key, value) VALUES ('lost_since_ms', ?)");
        m.bind(1, QString::number(lostSince.toMSecsSinceEpoch()));
        if (!m.run()) {
            return abandon(m.rc());
        }
    }
    if ((rc = exec(m_db, "COMMIT")) != SQLITE_OK) {
        return abandon(rc);
    }
    qCWarning(lcJournal).noquote() << open.size() << "open attempts carried over from an unreadable journal"
                                   << (lostSince.isValid() ? "; some may be lost: each amount looks back once" : "");
    return true;
}

std::optional<qint64> Journal::begin(const Attempt& a, QString* error, Attempt* blocker) {
    if (a.saleId.trimmed().isEmpty()) {
        setError(error, QStringLiteral("收款记录缺少销售编号"));
        return std::nullopt;
    }
    if (a.fen <= 0) {
        setError(error, QStringLiteral("收款记录的金额须大于零"));
        return std::nullopt;
    }
    if (a.kind == Kind::Refund && a.orderNo.trimmed().isEmpty()) {
        setError(error, QStringLiteral("退款记录缺少订单号"));
        return std::nullopt;
    }
    retryUnwritten();
    const QDateTime created = a.createdAt.isValid() ? a.createdAt : m_clock->now();
    // Never a whole payment code in the file, whatever the caller passed.
    const QString masked = looksUnmasked(a.maskedCode) ? maskCode(a.maskedCode) : a.maskedCode;
    // The rule and the write under one write lock: another copy of the client cannot start between them.
    int rc = exec(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        setError(error, failure(m_db, rc, "begin"));
        return std::nullopt;
    }
    auto abandon = [&](const QString& why) {
        exec(m_db, "ROLLBACK");
        setError(error, why);
        return std::nullopt;
    };
    QString readError;
    const std::optional<Attempt> inTheWay = blockerFor(a.kind, a.orderNo, &readError);
    if (!readError.isEmpty()) {
        return abandon(QStringLiteral("无法读取收款记录（%1）").arg(readError));
    }
    if (inTheWay) {
        if (blocker) {
            *blocker = *inTheWay;
        }
        return abandon(blockedText(*inTheWay));
    }
    Statement s(m_db,
                "INSERT INTO attempts (sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, "
                "created_at, state, note, refunded_before, owner_pid, owner_mark) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.bindAll({a.saleId, kindName(a.kind), a.fen, a.shopId, a.cashierId, masked, a.orderNo, created.toMSecsSinceEpoch(),
               humanTime(created), stateName(State::Sending), a.note,
               a.refundedBefore ? QVariant(*a.refundedBefore) : QVariant(), m_self.pid, m_self.mark});
    if (!s.run()) {
        return abandon(failure(m_db, s.rc(), "begin"));
    }
    const qint64 id = sqlite3_last_insert_rowid(m_db);
    if ((rc = exec(m_db, "COMMIT")) != SQLITE_OK) {
        return abandon(failure(m_db, rc, "begin"));
    }
    qCInfo(lcJournal).noquote() << "attempt" << id << kindName(a.kind) << "-> sending, store" << a.shopId << "fen"
                                << a.fen << "code" << masked;
    return id;
}

std::optional<qint64> Journal::recordFound(const Attempt& a, const QString& orderNo, const QString& note,
                                           QString* error) {
    if (a.saleId.trimmed().isEmpty() || a.fen <= 0 || orderNo.trimmed().isEmpty()) {
        setError(error, QStringLiteral("收款记录缺少销售编号、金额或单号"));
        return std::nullopt;
    }
    const QDateTime now = m_clock->now();
    const QDateTime created = a.createdAt.isValid() ? a.createdAt : now;
    const QString masked = looksUnmasked(a.maskedCode) ? maskCode(a.maskedCode) : a.maskedCode;
    Statement s(m_db,
                "INSERT INTO attempts (sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, "
                "created_at, settled_ms, settled_at, state, note, owner_pid, owner_mark) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.bindAll({a.saleId, kindName(a.kind), a.fen, a.shopId, a.cashierId, masked, orderNo, created.toMSecsSinceEpoch(),
               humanTime(created), now.toMSecsSinceEpoch(), humanTime(now), stateName(State::Paid), note, m_self.pid,
               m_self.mark});
    if (!s.run()) {
        setError(error, failure(m_db, s.rc(), "record"));
        return std::nullopt;
    }
    const qint64 id = sqlite3_last_insert_rowid(m_db);
    qCInfo(lcJournal).noquote() << "attempt" << id << kindName(a.kind) << "-> paid (found in the listing), store"
                                << a.shopId << "fen" << a.fen << "order" << orderNo;
    return id;
}

std::optional<Attempt> Journal::blockerFor(Kind kind, const QString& orderNo, QString* error) const {
    // A charge waits for every open charge, whatever its store or its copy of the client; a refund for the open
    // refunds of its order. (A kind this version does not know reads as a charge, so it blocks too.)
    const QList<Attempt> open =
        isCharge(kind)
            ? selectOpen("kind != 'refund' AND state IN ('sending', 'unresolved')", {}, error)
            : selectOpen("kind = 'refund' AND order_no = ? AND state IN ('sending', 'unresolved')", {orderNo}, error);
    if (open.isEmpty()) {
        return std::nullopt;
    }
    return open.first();
}

QString Journal::blockedText(const Attempt& open) const {
    const QString amount = money::fenToYuan2(open.fen);
    const QString at = m_clock->inZone(open.createdAt).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (open.kind == Kind::Refund) {
        return heldElsewhere(open)
                   ? QStringLiteral("另一个收银窗口正在为这笔交易退款（%1元），请等它完成。").arg(amount)
                   : QStringLiteral("这笔交易上一次退款（%1元，%2）的结果还未确认。").arg(amount, at);
    }
    return heldElsewhere(open)
               ? QStringLiteral("另一个收银窗口正在收款（%1元，%2），请等那一笔完成后再收款。").arg(amount, at)
               : QStringLiteral("有一笔收款（%1元，%2）的结果还未确认，请先在收款窗口中确认。").arg(amount, at);
}

bool Journal::takeOver(qint64 id, QString* error) {
    int rc = exec(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        setError(error, failure(m_db, rc, "take over"));
        return false;
    }
    auto abandon = [&](const QString& why) {
        exec(m_db, "ROLLBACK");
        setError(error, why);
        return false;
    };
    QString readError;
    const QList<Attempt> found = select("id = ?", {id}, &readError);
    if (!readError.isEmpty()) {
        return abandon(readError);
    }
    if (found.isEmpty() || !isOpen(found.first().state)) {
        return abandon(QStringLiteral("这笔记录已经有了结果"));
    }
    if (heldElsewhere(found.first())) {
        return abandon(blockedText(found.first()));
    }
    Statement u(m_db, "UPDATE attempts SET owner_pid = ?, owner_mark = ? WHERE id = ?");
    u.bindAll({m_self.pid, m_self.mark, id});
    if (!u.run()) {
        return abandon(failure(m_db, u.rc(), "take over"));
    }
    if ((rc = exec(m_db, "COMMIT")) != SQLITE_OK) {
        return abandon(failure(m_db, rc, "take over"));
    }
    qCInfo(lcJournal).noquote() << "attempt" << id << "taken over from process" << found.first().owner.pid
                                << "(no longer running) by" << m_self.pid;
    return true;
}

bool Journal::settle(qint64 id, State to, const QString& orderNo, const QString& note, QString* error,
                     const QString& otherNo) {
    if (to == State::Released) {
        setError(error, QStringLiteral("放弃确认须由收银员选择"));
        return false;
    }
    retryUnwritten();
    bool storageFailed = false;
    if (move(id, to, orderNo, note, QString(), error, &storageFailed, otherNo)) {
        return true;
    }
    if (storageFailed) {
        // What the gateway answered is known: the till goes by it (no charge is held back by it, none brought back
        // to be asked about) while the write is tried again.
        m_unwritten.insert(id, Unwritten{to, orderNo, note, otherNo});
        qCWarning(lcJournal).noquote() << "attempt" << id << "outcome" << stateName(to)
                                       << "not written; kept and tried again";
    }
    return false;
}

bool Journal::hasUnwritten() const {
    return !m_unwritten.isEmpty();
}

void Journal::retryUnwritten() {
    for (auto it = m_unwritten.begin(); it != m_unwritten.end();) {
        QString error;
        bool storageFailed = false;
        if (move(it.key(), it->state, it->orderNo, it->note, QString(), &error, &storageFailed, it->otherNo) ||
            !storageFailed) {
            qCInfo(lcJournal).noquote() << "attempt" << it.key() << "outcome" << stateName(it->state)
                                        << (storageFailed ? "written on a later try" : "no longer needed: " + error);
            it = m_unwritten.erase(it);
        } else {
            ++it;
        }
    }
}

bool Journal::release(qint64 id, const QString& cashierId, QString* error) {
    if (cashierId.trimmed().isEmpty()) {
        setError(error, QStringLiteral("放弃确认须记下收银员"));
        return false;
    }
    retryUnwritten();
    if (m_unwritten.contains(id)) {
        setError(error, QStringLiteral("这笔记录已经有了结果"));
        return false;
    }
    return move(id, State::Released, QString(), QStringLiteral("收银员放弃确认"), cashierId, error);
}

bool Journal::move(qint64 id, State to, const QString& orderNo, const QString& note, const QString& releasedBy,
                   QString* error, bool* storageFailed, const QString& otherNo) {
    // Read and change under one write lock: a second copy of the client on the same folder may settle it too.
    int rc = exec(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        setError(error, failure(m_db, rc, "settle"));
        if (storageFailed) {
            *storageFailed = true;
        }
        return false;
    }
    auto abandon = [&](const QString& why, bool storage = true) {
        exec(m_db, "ROLLBACK");
        setError(error, why);
        if (storageFailed) {
            *storageFailed = storage;
        }
        return false;
    };
    State from = State::Unresolved;
    QString logged;  // kind, store, fen and masked code, for the log line
    bool charge = false;
    {
        Statement s(m_db, "SELECT state, kind, shop_id, fen, masked_code FROM attempts WHERE id = ?");
        s.bind(1, id);
        if (!s.next()) {
            return s.ok() ? abandon(QStringLiteral("找不到这笔收款记录"), false)
                          : abandon(failure(m_db, s.rc(), "settle"));
        }
        from = stateFromName(s.text(0)).value_or(State::Unresolved);
        charge = isCharge(kindFromName(s.text(1)).value_or(Kind::Charge));
        logged = QStringLiteral("%1 %2 -> %3, store %4 fen %5 code %6")
                     .arg(s.text(1), stateName(from), stateName(to), s.text(2), s.text(3), s.text(4));
    }
    if (!maySettle(from, to)) {
        return abandon(QStringLiteral("这笔记录%1，不能改为%2").arg(stateLabel(from), stateLabel(to)), false);
    }
    const QDateTime now = m_clock->now();
    Statement u(m_db,
                "UPDATE attempts SET state = ?, settled_ms = ?, settled_at = ?, "
                "order_no = CASE WHEN ? = '' THEN order_no ELSE ? END, note = CASE WHEN ? = '' THEN note ELSE ? END, "
                "released_by = CASE WHEN ? = '' THEN released_by ELSE ? END WHERE id = ?");
    // A release found paid later keeps who released it: the record says both.
    u.bindAll({stateName(to), now.toMSecsSinceEpoch(), humanTime(now), orderNo, orderNo, note, note, releasedBy,
               releasedBy, id});
    if (!u.run()) {
        return abandon(failure(m_db, u.rc(), "settle"));
    }
    if (to == State::Paid && charge) {
        // The sale's other number, so a listing row that names only that one is still known as this till's; and the
        // paid charge whose result the cashier has not seen yet (a crash before the result window is told next time).
        if (!otherNo.isEmpty() && otherNo != orderNo) {
            Statement o(m_db, "INSERT OR REPLACE INTO other_numbers (attempt_id, number) VALUES (?, ?)");
            o.bindAll({id, otherNo});
            if (!o.run()) {
                return abandon(failure(m_db, o.rc(), "settle"));
            }
        }
        Statement m(m_db, "INSERT OR REPLACE INTO meta (key, value) VALUES ('paid_unshown', ?)");
        m.bind(1, QString::number(id));
        if (!m.run()) {
            return abandon(failure(m_db, m.rc(), "settle"));
        }
    }
    if ((rc = exec(m_db, "COMMIT")) != SQLITE_OK) {
        return abandon(failure(m_db, rc, "settle"));
    }
    qCInfo(lcJournal).noquote() << "attempt" << id << logged;
    return true;
}

QList<Attempt> Journal::select(const char* where, const QVariantList& args, QString* error) const {
    const QByteArray sql = QByteArrayLiteral("SELECT ") + kColumns + " FROM attempts WHERE " + where + " ORDER BY id";
    Statement s(m_db, sql.constData());
    s.bindAll(args);
    QList<Attempt> out;
    while (s.next()) {
        Attempt a = rowToAttempt(s);
        // An outcome known but not yet written reads as written.
        if (const auto it = m_unwritten.constFind(a.id); it != m_unwritten.cend()) {
            a.state = it->state;
            a.orderNo = it->orderNo.isEmpty() ? a.orderNo : it->orderNo;
            a.note = it->note.isEmpty() ? a.note : it->note;
        }
        out.append(a);
    }
    if (!s.ok()) {
        setError(error, failure(m_db, s.rc(), "read"));
        return {};
    }
    return out;
}

QList<Attempt> Journal::selectOpen(const char* where, const QVariantList& args, QString* error) const {
    QList<Attempt> open = select(where, args, error);
    open.erase(std::remove_if(open.begin(), open.end(), [](const Attempt& a) { return !isOpen(a.state); }), open.end());
    return open;
}

std::optional<Attempt> Journal::attempt(qint64 id, QString* error) const {
    const QList<Attempt> found = select("id = ?", {id}, error);
    if (found.isEmpty()) {
        return std::nullopt;
    }
    return found.first();
}

QList<Attempt> Journal::open(const QString& shopId, QString* error) const {
    return selectOpen("state IN ('sending', 'unresolved') AND (?1 = '' OR shop_id = ?1)", {shopId}, error);
}

QList<Attempt> Journal::ofSale(const QString& saleId, QString* error) const {
    return select("sale_id = ?", {saleId}, error);
}

QList<Attempt> Journal::between(const QDateTime& from, const QDateTime& to, const QString& shopId,
                                QString* error) const {
    return select("created_ms >= ?1 AND created_ms < ?2 AND (?3 = '' OR shop_id = ?3)",
                  {from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch(), shopId}, error);
}

QList<Attempt> Journal::selectUnwritten(QString* error) const {
    if (m_unwritten.isEmpty()) {
        return {};
    }
    QStringList ids;
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        ids << QString::number(it.key());
    }
    const QByteArray where = "id IN (" + ids.join(QLatin1Char(',')).toLatin1() + ")";
    return select(where.constData(), {}, error);
}

bool Journal::refundOpen(const QString& orderNo, QString* error) const {
    QString readError;
    const QList<Attempt> found =
        selectOpen("kind = 'refund' AND order_no = ? AND state IN ('sending', 'unresolved')", {orderNo}, &readError);
    if (!readError.isEmpty()) {
        setError(error, readError);
        return true;
    }
    return !found.isEmpty();
}

}  // namespace journal

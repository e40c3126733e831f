#include "journal.h"
#include "payments/openmoney.h"

#include "app/money.h"
#include "platform/platform.h"
#include "app/logcategories.h"
#include "gateway/gatewayclock.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace journal {

namespace {

const QStringList kSideFiles{QStringLiteral("-wal"), QStringLiteral("-shm")};

// Columns in the order rowToAttempt reads them; the first thirteen are those of the first schema.
const char* const kColumns =
    "id, sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, settled_ms, state, note, "
    "released_by, refunded_before, owner_pid, owner_mark";
const char* const kColumnsV1 =
    "id, sale_id, kind, fen, shop_id, cashier_id, masked_code, order_no, created_ms, settled_ms, state, note, "
    "released_by";
const char* const kOpen = openmoney::kOpenCondition;

// Times are kept twice: milliseconds since the epoch to order and compare by, and local text with its UTC offset
// for a person reading the file.
const char* const kSchema =
    "CREATE TABLE attempts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " sale_id TEXT NOT NULL,"
    " kind TEXT NOT NULL,"
    " fen INTEGER NOT NULL,"
    " shop_id TEXT NOT NULL,"
    " cashier_id TEXT NOT NULL,"
    " masked_code TEXT NOT NULL,"
    " order_no TEXT NOT NULL DEFAULT '',"
    " created_ms INTEGER NOT NULL,"
    " created_at TEXT NOT NULL,"
    " settled_ms INTEGER,"
    " settled_at TEXT,"
    " state TEXT NOT NULL,"
    " note TEXT NOT NULL DEFAULT '',"
    " released_by TEXT NOT NULL DEFAULT '',"
    " refunded_before INTEGER,"
    " owner_pid INTEGER NOT NULL DEFAULT 0,"
    " owner_mark TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX attempts_state ON attempts(state);"
    "CREATE INDEX attempts_sale ON attempts(sale_id);"
    "CREATE INDEX attempts_order ON attempts(order_no);"
    "CREATE INDEX attempts_created ON attempts(created_ms);"
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE looked_back (fen INTEGER PRIMARY KEY);";

// From the first schema to the second, in place: a refund's amount refunded before moves from its note into a
// column of its own, attempts get their owner (none for the old ones: no copy that wrote them still runs), and the
// look-back after a lost file gets its tables.
const char* const kUpgradeFrom1 =
    "ALTER TABLE attempts ADD COLUMN refunded_before INTEGER;"
    "ALTER TABLE attempts ADD COLUMN owner_pid INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE attempts ADD COLUMN owner_mark TEXT NOT NULL DEFAULT '';"
    "UPDATE attempts SET refunded_before = CAST(substr(note, 17) AS INTEGER), note = ''"
    " WHERE kind = 'refund' AND note GLOB 'refunded_before=[0-9]*';"
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE looked_back (fen INTEGER PRIMARY KEY);";

// Added beside the second schema without changing its version (a client of that version reads the file as before and
// leaves them alone): the rows the cashier said are not an attempt's payment, the second order number of a paid
// charge, and the index the look-back's questions are asked by (amount, state and time: a till that sells the same
// amount all day does not read its day for each sale).
const char* const kExtras =
    "CREATE TABLE IF NOT EXISTS declined (attempt_id INTEGER NOT NULL, order_no TEXT NOT NULL,"
    " PRIMARY KEY (attempt_id, order_no));"
    "CREATE TABLE IF NOT EXISTS other_numbers (attempt_id INTEGER PRIMARY KEY, number TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS attempts_amount ON attempts(fen, state, created_ms);";

// On the gateway's wall clock, with its offset: the times the gateway lists sales by.
QString humanTime(const QDateTime& t) {
    return gateway::inGatewayZone(t).toString(Qt::ISODateWithMs);
}

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

int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

Attempt rowToAttempt(const Statement& s, bool firstSchema = false) {
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

// The outcome of one try at opening a file as a journal.
struct Try {
    sqlite3* db = nullptr;
    QString reason;            // empty on success
    bool fileAtFault = false;  // the file is there but is no readable journal of ours
};

void keepPrivate(const QString& path) {
    for (const QString& name : QStringList{path, path + kSideFiles.at(0), path + kSideFiles.at(1)}) {
        if (QFileInfo::exists(name) && !QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner)) {
            qWarning().noquote() << "payment journal: cannot make" << name << "private to its owner";
        }
    }
}

Try tryOpen(const QString& path) {
    Try t;
    const bool existed = QFileInfo::exists(path);
    if (!existed && QFileInfo::exists(path + kSideFiles.at(0))) {
        // A write-ahead log without its database: SQLite would replay its pages into the new file.
        qWarning().noquote() << "payment journal:" << path + kSideFiles.at(0) << "is there without its database";
        t.reason = QStringLiteral("文件已损坏");
        t.fileAtFault = true;
        return t;
    }
    if (existed) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable() || !info.isWritable()) {
            // Not ours to move: the file may be a healthy journal this user may not touch.
            qWarning().noquote() << "payment journal:" << path << "is not a file this user may read and write";
            t.reason = QStringLiteral("没有读写收款记录文件的权限");
            return t;
        }
    }
    if (!existed) {
        // Made private before SQLite writes a byte; its -wal and -shm take the same mode from it.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            qWarning().noquote() << "payment journal: cannot create" << path << ":" << file.errorString();
            t.reason = QStringLiteral("文件夹不可写");
            return t;
        }
        file.close();
    }
    keepPrivate(path);

    auto fail = [&](int rc, const char* what, bool atFault) {
        t.reason = failure(t.db, rc, what);
        const int primary = rc & 0xff;
        // A file that cannot be opened (permissions, locks) is not at fault: only one that is not a readable
        // journal of ours is moved aside.
        t.fileAtFault = atFault || primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
        // Statements of the caller's scope are still alive here: close_v2 lets go once they are finalized, before
        // the file is moved aside.
        sqlite3_close_v2(t.db);
        t.db = nullptr;
        return t;
    };

#ifdef Q_OS_WIN
    const QByteArray file = path.toUtf8();  // SQLite takes UTF-8 names on Windows
#else
    const QByteArray file = QFile::encodeName(path);
#endif
    int rc = sqlite3_open_v2(file.constData(), &t.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        return fail(rc, "open", false);
    }
    sqlite3_busy_timeout(t.db, 3000);

    // Read before anything is written: a file that is not ours is moved aside exactly as it was found.
    int version = 0;
    int tables = 0;
    {
        Statement v(t.db, "PRAGMA user_version");
        if (v.next()) {
            version = static_cast<int>(v.integer(0));
        }
        if (!v.ok()) {
            return fail(v.rc(), "user_version", false);
        }
        Statement n(t.db, "SELECT count(*) FROM sqlite_master");
        if (n.next()) {
            tables = static_cast<int>(n.integer(0));
        }
        if (!n.ok()) {
            return fail(n.rc(), "schema", false);
        }
    }
    if (version > Journal::kSchemaVersion) {
        qWarning().noquote() << "payment journal: schema version" << version << "is newer than this client's";
        Try newer = fail(SQLITE_NOTADB, "schema version", true);
        newer.reason = QStringLiteral("文件来自更新的版本");
        return newer;
    }
    if (version == 0 && tables > 0) {
        // Some other program's database under our name.
        return fail(SQLITE_NOTADB, "schema (tables of another program)", true);
    }
    if (version > 0) {
        const QByteArray probe = QByteArrayLiteral("SELECT ") + (version == 1 ? kColumnsV1 : kColumns) +
                                 ", created_at, settled_at FROM attempts";
        Statement columns(t.db, probe.constData());
        if (!columns.ok()) {
            return fail(columns.rc(), "schema (columns)", true);
        }
    }

    {
        Statement mode(t.db, "PRAGMA journal_mode=WAL");
        if (mode.next() && mode.text(0) != QLatin1String("wal")) {
            // Some file systems cannot share memory for WAL; the rollback journal with full sync is as safe.
            qWarning().noquote() << "payment journal: WAL not available, journal mode" << mode.text(0);
        }
        if (!mode.ok()) {
            return fail(mode.rc(), "journal_mode", false);
        }
    }
    if ((rc = exec(t.db, "PRAGMA synchronous=FULL")) != SQLITE_OK) {
        return fail(rc, "synchronous", false);
    }
    // Every query of a sale goes through an index and touches a few pages; SQLite's default cache (2 MB) would
    // only fill, a few hundred bytes a sale, with pages of the day's attempts that no sale reads again.
    if ((rc = exec(t.db, "PRAGMA cache_size=-256")) != SQLITE_OK) {
        return fail(rc, "cache_size", false);
    }
    if (version == 0) {
        // The tables and the version in one transaction: a file is either empty or complete.
        const QByteArray create = QByteArrayLiteral("BEGIN IMMEDIATE;") + kSchema +
                                  "PRAGMA user_version=" + QByteArray::number(Journal::kSchemaVersion) + ";COMMIT;";
        if ((rc = exec(t.db, create.constData())) != SQLITE_OK) {
            exec(t.db, "ROLLBACK");
            return fail(rc, "create", false);
        }
    } else if (version == 1) {
        const QByteArray upgrade = QByteArrayLiteral("BEGIN IMMEDIATE;") + kUpgradeFrom1 +
                                   "PRAGMA user_version=" + QByteArray::number(Journal::kSchemaVersion) + ";COMMIT;";
        if ((rc = exec(t.db, upgrade.constData())) != SQLITE_OK) {
            exec(t.db, "ROLLBACK");
            return fail(rc, "upgrade", false);
        }
    }
    if ((rc = exec(t.db, kExtras)) != SQLITE_OK) {
        return fail(rc, "extras", false);
    }
    {
        // Every page read once, so a damaged file is found now rather than in the middle of a sale.
        Statement check(t.db, "PRAGMA quick_check");
        const bool row = check.next();
        if (!check.ok()) {
            return fail(check.rc(), "quick_check", false);
        }
        if (!row || check.text(0) != QLatin1String("ok")) {
            qWarning().noquote() << "payment journal: quick_check:" << check.text(0);
            return fail(SQLITE_CORRUPT, "quick_check", true);
        }
    }
    return t;
}

// What could still be read of an unreadable journal before it is moved aside.
struct Salvage {
    QList<Attempt> open;    // its sending and unresolved attempts
    bool complete = false;  // they were read to the end
    QDateTime lastWritten;  // when the file (or its write-ahead log) was last written
};

Salvage salvage(const QString& path) {
    Salvage out;
    for (const QString& name : {path, path + kSideFiles.at(0)}) {
        const QDateTime written = QFileInfo(name).lastModified();
        if (written.isValid() && (!out.lastWritten.isValid() || written > out.lastWritten)) {
            out.lastWritten = written;
        }
    }
    sqlite3* db = nullptr;
#ifdef Q_OS_WIN
    const QByteArray file = path.toUtf8();  // SQLite takes UTF-8 names on Windows
#else
    const QByteArray file = QFile::encodeName(path);
#endif
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return out;
    }
    for (bool firstSchema : {false, true}) {
        const QByteArray sql = QByteArrayLiteral("SELECT ") + (firstSchema ? kColumnsV1 : kColumns) +
                               " FROM attempts WHERE " + kOpen + " ORDER BY id";
        Statement s(db, sql.constData());
        if (!s.ok()) {
            continue;  // not this schema's columns (or no table at all)
        }
        while (s.next()) {
            Attempt a = rowToAttempt(s, firstSchema);
            if (firstSchema && a.kind == Kind::Refund && a.note.startsWith(QLatin1String("refunded_before="))) {
                bool ok = false;
                const qint64 before = a.note.mid(16).toLongLong(&ok);
                if (ok && before >= 0) {
                    a.refundedBefore = before;
                }
            }
            out.open.append(a);
        }
        out.complete = s.ok();
        break;
    }
    sqlite3_close_v2(db);
    return out;
}

// Renames the file and its -wal/-shm to a dated name beside it. A -wal that cannot be moved is removed: left
// there, SQLite would replay its pages into the fresh file.
QString moveAside(const QString& path, QString* error) {
    const QString stamp =
        path + QStringLiteral(".broken-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + kSideFiles.at(0)); ++n) {
        target = stamp + QLatin1Char('-') + QString::number(n);
    }
    if (QFileInfo::exists(path) && !QFile::rename(path, target)) {
        qWarning().noquote() << "payment journal: cannot move" << path << "aside to" << target;
        setError(error, QStringLiteral("无法另存损坏的文件"));
        return QString();
    }
    for (const QString& side : kSideFiles) {
        if (QFileInfo::exists(path + side) && !QFile::rename(path + side, target + side) &&
            !QFile::remove(path + side)) {
            qWarning().noquote() << "payment journal: cannot move or remove" << path + side;
            setError(error, QStringLiteral("无法另存损坏的文件"));
            return QString();
        }
    }
    qWarning().noquote() << "payment journal: unreadable file moved aside to" << target;
    return target;
}

// Each running copy of the client leaves "<journal>.copy-<pid>" beside the file, holding its start mark, for as long as
// it has the journal open: a file that one copy cannot read may be one that another, still running, writes (a newer
// version's schema, say). Such a file is never moved aside under it.
QString copyMarker(const QString& path, qint64 pid) {
    return path + QStringLiteral(".copy-") + QString::number(pid);
}

bool otherCopyUses(const QString& path) {
    const QFileInfo info(path);
    const QString prefix = info.fileName() + QStringLiteral(".copy-");
    const QStringList markers = info.dir().entryList({prefix + QLatin1Char('*')}, QDir::Files);
    const qint64 self = platform::currentProcessId();
    for (const QString& name : markers) {
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).toLongLong(&ok);
        if (!ok || pid == self) {
            continue;
        }
        QFile marker(info.dir().filePath(name));
        const QString mark =
            marker.open(QIODevice::ReadOnly) ? QString::fromUtf8(marker.readAll()).trimmed() : QString();
        if (!mark.isEmpty() && platform::processStartMark(pid) == mark) {
            return true;
        }
        // Left by a copy that ended without closing the journal (a crash, a power cut).
        QFile::remove(info.dir().filePath(name));
    }
    return false;
}

}  // namespace

Journal::Journal(sqlite3* db, const QString& path) : m_db(db), m_path(path) {
    const qint64 pid = platform::currentProcessId();
    setIdentity(Owner{pid, platform::processStartMark(pid)},
                [](const Owner& o) { return !o.isEmpty() && platform::processStartMark(o.pid) == o.mark; });
    QFile marker(copyMarker(path, pid));
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        marker.write(m_self.mark.toUtf8());
        m_marker = marker.fileName();
    } else {
        qWarning().noquote() << "payment journal: cannot write" << marker.fileName() << ":" << marker.errorString();
    }
}

void Journal::setIdentity(const Owner& self, std::function<bool(const Owner&)> alive) {
    m_self = self;
    m_alive = std::move(alive);
}

bool Journal::heldElsewhere(const Attempt& a) const {
    return !a.owner.isEmpty() && a.owner != m_self && m_alive && m_alive(a.owner);
}

Journal::~Journal() {
    retryUnwritten();
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        qCWarning(lcJournal).noquote() << "attempt" << it.key() << "left as sending: its outcome"
                                       << stateName(it->state) << "could not be written";
    }
    // The last connection to close folds the WAL back into the file and removes it.
    sqlite3_close_v2(m_db);
    if (!m_marker.isEmpty()) {
        QFile::remove(m_marker);
    }
}

Journal::Opened Journal::openFile(const QString& path) {
    Opened out;
    Try first = tryOpen(path);
    if (first.db) {
        out.journal.reset(new Journal(first.db, path));
        return out;
    }
    if (!first.fileAtFault) {
        out.error = first.reason;
        return out;
    }
    if (otherCopyUses(path)) {
        // Moving it would leave that copy writing a file nobody else reads.
        qWarning().noquote() << "payment journal:" << path << "cannot be read here, and another running copy uses it";
        out.error = QStringLiteral("收款记录文件无法读取，且另一个收银窗口正在使用它");
        out.inUseElsewhere = true;
        return out;
    }
    // Whatever open attempts can still be read go into the fresh file: money that may have moved is not forgotten.
    const Salvage saved = salvage(path);
    out.movedAsideTo = moveAside(path, &out.error);
    if (out.movedAsideTo.isEmpty()) {
        return out;
    }
    Try fresh = tryOpen(path);
    if (!fresh.db) {
        out.error = fresh.reason;
        return out;
    }
    out.journal.reset(new Journal(fresh.db, path));
    out.openMayBeLost = !saved.complete;
    // An attempt the file lost was made before its last write (a charge begins with a write, and none begins while
    // another is open): its payment is looked for around that time.
    const QDateTime lostSince = out.openMayBeLost
                                    ? (saved.lastWritten.isValid() ? saved.lastWritten : QDateTime::currentDateTime())
                                    : QDateTime();
    QString carryError;
    if (!out.journal->carryOver(saved.open, lostSince, &carryError)) {
        // A journal that cannot keep what was open must not take new money either.
        out.journal.reset();
        out.error = carryError;
        return out;
    }
    out.carried = saved.open.size();
    return out;
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
    const QDateTime created = a.createdAt.isValid() ? a.createdAt : gateway::gatewayNow();
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
    const QDateTime now = gateway::gatewayNow();
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
    const QString at = gateway::inGatewayZone(open.createdAt).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
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
    const QDateTime now = gateway::gatewayNow();
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
        "fen = ?1 AND state IN ('refused', 'released', 'paid') AND created_ms >= ?2 AND "
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

QString openAtStartup(const QString& folder, std::unique_ptr<Journal>* journal, const QDateTime& now) {
    Journal::Opened opened = Journal::openFile(QDir(folder).filePath(QStringLiteral("payments.db")));
    const QString asideName = QFileInfo(opened.movedAsideTo).fileName();
    journal->reset();
    if (!opened.journal) {
        if (!asideName.isEmpty()) {
            return QStringLiteral("收款记录文件无法读取，已另存为 %1，但无法新建（%2），暂时不能收款和退款。")
                .arg(asideName, opened.error);
        }
        if (opened.inUseElsewhere) {
            return QStringLiteral("%1，暂时不能收款和退款。\n请关闭所有收银窗口后重新打开本程序。").arg(opened.error);
        }
        return QStringLiteral("无法建立收款记录文件（%1），暂时不能收款和退款。").arg(opened.error);
    }
    QString pruneError;
    const int pruned = opened.journal->prune(now.addDays(-Journal::kKeepDays), &pruneError);
    if (pruned < 0) {
        // Old rows left in place cost nothing but space; the next start tries again.
        qWarning().noquote() << "payment journal: old attempts not pruned:" << pruneError;
    }
    *journal = std::move(opened.journal);
    if (asideName.isEmpty()) {
        return QString();
    }
    if (opened.openMayBeLost) {
        return QStringLiteral(
                   "收款记录文件已损坏，已另存为 %1，并已新建。\n"
                   "损坏的文件里可能有结果还未确认的收款或退款：请在“交易查询”中核对最近的交易。\n"
                   "此后每个金额的第一笔收款都会先核对交易记录，再发出收款。")
            .arg(asideName);
    }
    if (opened.carried > 0) {
        return QStringLiteral(
                   "收款记录文件无法读取，已另存为 %1，并已新建；其中 %2 笔结果未确认的收款或退款已转入新文件，"
                   "登录后会先核对。")
            .arg(asideName)
            .arg(opened.carried);
    }
    return QStringLiteral("收款记录文件无法读取，已另存为 %1，并已新建。").arg(asideName);
}

}  // namespace journal

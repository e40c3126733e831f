// Opening the journal's file: the schema and its upgrade, a damaged file moved aside with what can still be read of
// it, the marker that tells other copies of the program this one uses the file, and what the cashier is told at start.
#include "journal.h"

#include "app/logcategories.h"
#include "app/money.h"
#include "journalsql.h"
#include "platform/platform.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace journal {

using namespace sql;

namespace {

const QStringList kSideFiles{QStringLiteral("-wal"), QStringLiteral("-shm")};

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

Journal::Journal(sqlite3* db, const QString& path, const gateway::Clock* clock) : m_db(db), m_path(path) {
    setClock(clock);
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

Journal::Opened Journal::openFile(const QString& path, const gateway::Clock* clock) {
    Opened out;
    Try first = tryOpen(path);
    if (first.db) {
        out.journal.reset(new Journal(first.db, path, clock));
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
    out.journal.reset(new Journal(fresh.db, path, clock));
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

QString openAtStartup(const QString& folder, std::unique_ptr<Journal>* journal, const gateway::Clock* clock,
                      const QDateTime& now) {
    Journal::Opened opened = Journal::openFile(QDir(folder).filePath(QStringLiteral("payments.db")), clock);
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

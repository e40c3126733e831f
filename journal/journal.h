#pragma once

#include "journal/journalrules.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

struct sqlite3;

// The payment journal: every charge and refund is written here before its request leaves, so an attempt whose
// outcome is unknown survives a crash or a power cut and keeps the next one from going out. One SQLite file
// (WAL, synchronous=FULL, mode 0600). It keeps the last four digits of a payment code at most, no token and no
// password.
namespace journal {

class Journal {
public:
    struct Opened {
        std::unique_ptr<Journal> journal;
        QString movedAsideTo;  // the unreadable file kept under this name; a fresh journal was started
        QString error;         // why there is no journal (for the cashier)
    };

    // Opens or creates the journal at `path`. A file that cannot be read as a journal (not a database, damaged, of
    // a newer schema) is renamed to "<path>.broken-yyyyMMdd-hhmmss" together with its -wal and -shm, and a fresh
    // one is started. When even that fails (read-only folder, full disk) `journal` is null and `error` says why.
    // (Not called open: open(shopId) lists the open attempts.)
    static Opened openFile(const QString& path);

    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    QString path() const { return m_path; }

    // Records an attempt as Sending before its request leaves (createdAt: now when invalid). Returns its id, or
    // nullopt with the reason (disk full, read-only folder, bad attempt): the caller then sends nothing.
    // A payment code that was not masked is masked here.
    std::optional<qint64> begin(const Attempt& a, QString* error);
    // The attempt's outcome. Refuses what the rules do not allow (see maySettle), and Released (use release).
    // An empty orderNo keeps the one recorded.
    bool settle(qint64 id, State to, const QString& orderNo, const QString& note, QString* error);
    // The cashier's explicit release of an attempt nobody could resolve (Unresolved or Sending).
    bool release(qint64 id, const QString& cashierId, QString* error);

    // Reads. When the file cannot be read, `error` is set and the lists are empty: an empty list then does not
    // mean that nothing is open.
    std::optional<Attempt> attempt(qint64 id, QString* error = nullptr) const;
    // Sending or Unresolved attempts of a store ("" = every store), oldest first.
    QList<Attempt> open(const QString& shopId, QString* error = nullptr) const;
    QList<Attempt> ofSale(const QString& saleId, QString* error = nullptr) const;
    // Attempts created in [from, to) ("" = every store), oldest first.
    QList<Attempt> between(const QDateTime& from, const QDateTime& to, const QString& shopId,
                           QString* error = nullptr) const;
    // A refund of this order is Sending or Unresolved; also true when the journal cannot be read.
    bool refundOpen(const QString& orderNo, QString* error = nullptr) const;
    // No charge of any store is open; false (with the reason) when the journal cannot be read.
    bool chargeAllowed(QString* error = nullptr) const;

    // Deletes settled attempts created before `before`; open ones stay whatever their age. Returns how many were
    // deleted, -1 on failure.
    int prune(const QDateTime& before, QString* error = nullptr);

    static constexpr int kSchemaVersion = 1;
    static constexpr int kKeepDays = 90;

private:
    Journal(sqlite3* db, const QString& path);
    QList<Attempt> select(const char* where, const QVariantList& args, QString* error) const;
    bool move(qint64 id, State to, const QString& orderNo, const QString& note, const QString& releasedBy,
              QString* error);

    sqlite3* m_db = nullptr;
    QString m_path;
};

// The process-wide journal, set at start-up; null when none could be opened (then no money may be sent).
Journal* instance();
void setInstance(std::unique_ptr<Journal> journal);

// The start-up step: opens "payments.db" in `folder` (where data.ini lives), prunes attempts older than kKeepDays,
// makes it the process-wide journal. Returns what the cashier must be told (a file moved aside, no journal at all),
// empty when all is well.
QString openAtStartup(const QString& folder, const QDateTime& now = QDateTime::currentDateTime());

}  // namespace journal

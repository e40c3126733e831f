#pragma once

#include "gateway/gatewayclock.h"
#include "payments/journalrules.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
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
        QString movedAsideTo;         // the unreadable file kept under this name; a fresh journal was started
        QString error;                // why there is no journal (for the cashier)
        int carried = 0;              // open attempts read from the unreadable file and kept open in the fresh one
        bool openMayBeLost = false;   // the unreadable file could not be read through: an open attempt may be lost
        bool inUseElsewhere = false;  // the unreadable file is another running copy's: it was left where it is
    };

    // Opens or creates the journal at `path`. A file that cannot be read as a journal (not a database, damaged, of
    // a newer schema) is renamed to "<path>.broken-yyyyMMdd-hhmmss" together with its -wal and -shm, and a fresh
    // one is started; the open attempts that can still be read from it are carried into the fresh one as
    // unresolved. A file this user may not read or write is left where it is. When no journal can be had
    // (permissions, read-only folder, full disk) `journal` is null and `error` says why.
    // (Not called open: open(shopId) lists the open attempts.)
    // Attempts are stamped with `clock`'s now and written with its zone's wall time (the till's); without one the
    // journal keeps its own, this PC's clock in the gateway's default zone (a tool, a test).
    static Opened openFile(const QString& path, const gateway::Clock* clock = nullptr);

    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    QString path() const { return m_path; }
    const gateway::Clock& clock() const { return *m_clock; }
    // Takes the till's clock (a journal opened before it, or for a test); null: the journal's own again.
    void setClock(const gateway::Clock* clock) { m_clock = clock ? clock : &m_ownClock; }

    // Who this copy of the client is, and how to tell whether another copy still runs. By default the running
    // process and the platform's check; tests name others.
    void setIdentity(const Owner& self, std::function<bool(const Owner&)> alive);
    Owner self() const { return m_self; }
    // The attempt belongs to another copy of the client that is still running: it is that copy's to finish, and no
    // other copy takes it over or looks it up.
    bool heldElsewhere(const Attempt& a) const;

    // Records an attempt as Sending, owned by this copy, before its request leaves (createdAt: now when invalid),
    // when the open-attempt rule allows it: for a charge, no charge of any store is open; for a refund, no refund of
    // its order is open. The check and the write are one transaction, so two copies of the client can never both
    // start. Returns its id, or nullopt with the reason as the cashier reads it (another attempt open, disk full,
    // read-only folder, bad attempt): the caller then sends nothing. `blocker` gets the open attempt in the way.
    // A payment code that was not masked is masked here.
    std::optional<qint64> begin(const Attempt& a, QString* error, Attempt* blocker = nullptr);
    // Writes down a payment found in the listing that no attempt of this journal holds (the journal it was sent from
    // was lost): a settled attempt, Paid with its order number. It is an outcome, not a new charge: the open-attempt
    // rule does not apply. Returns its id, or nullopt with the reason.
    std::optional<qint64> recordFound(const Attempt& a, const QString& orderNo, const QString& note, QString* error);
    // Makes this copy the owner of an open attempt whose owner no longer runs (a crash, a power cut). False (with
    // the reason) when the attempt is settled, or another copy that still runs holds it.
    bool takeOver(qint64 id, QString* error);
    // The attempt's outcome. Refuses what the rules do not allow (see maySettle), and Released (use release).
    // An empty orderNo keeps the one recorded. When the file cannot take it (busy, disk full) the outcome is kept
    // here and reads as written: the till goes by it, and every later write tries it again (false all the same, so
    // the caller tells the cashier).
    // A charge found paid keeps the gateway's other number for its order too (`otherNo`: trade_no beside out_trade_no),
    // and is the paid charge whose result the cashier has yet to see until resultShown().
    bool settle(qint64 id, State to, const QString& orderNo, const QString& note, QString* error,
                const QString& otherNo = QString());
    // Outcomes still waiting to be written (tried again on every begin, settle and release, and on closing).
    bool hasUnwritten() const;
    void retryUnwritten();
    // The attempts whose outcome is known here but not yet written (as the file holds them).
    QList<Attempt> unwritten() const;
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
    // The open-attempt rule: the open attempt that keeps a new one of `kind` (a refund: of `orderNo`) from starting,
    // if any. A charge waits for any open charge of any store; a refund for an open refund of its order. When the
    // file cannot be read, `error` says why (and nothing may start).
    std::optional<Attempt> blockerFor(Kind kind, const QString& orderNo, QString* error = nullptr) const;
    // Why `open` keeps a new attempt back, as the cashier reads it.
    QString blockedText(const Attempt& open) const;

    // A refund of this order is Sending or Unresolved; also true when the journal cannot be read.
    bool refundOpen(const QString& orderNo, QString* error = nullptr) const;

    // After an unreadable journal whose open attempts could not be read, the first charge of each amount looks
    // the store's listing over around the time the lost file was last written (this PC's clock then). The time, while
    // `fen` still needs it.
    std::optional<QDateTime> lookBackSince(qint64 fen, QString* error = nullptr) const;
    bool lookedBack(qint64 fen, QString* error = nullptr);

    // Every order number of this journal's paid charges of `fen` created in [from, to) (both of the gateway's numbers
    // where it gave two): a listed row with one of them is a sale this till completed.
    QSet<QString> paidChargeNumbers(qint64 fen, const QDateTime& from, const QDateTime& to,
                                    QString* error = nullptr) const;
    // Charges of `fen` created in [from, to) that were refused or released, and the paid charges of those same sales
    // (also in [from, to)), oldest first. Outcomes not yet written are included.
    QList<Attempt> answeredCharges(qint64 fen, const QDateTime& from, const QDateTime& to,
                                   QString* error = nullptr) const;
    // The listed orders the cashier said are not the payment of attempt `attemptId`: never offered for it again, in
    // any window or copy of the client.
    QSet<QString> declinedFor(qint64 attemptId, QString* error = nullptr) const;
    bool decline(const QList<qint64>& attemptIds, const QStringList& orderNumbers, QString* error = nullptr);
    // The last paid charge whose result window was not shown (the client ended between the two), if any.
    std::optional<Attempt> paidUnshown(QString* error = nullptr) const;
    void resultShown(qint64 attemptId);

    // Deletes settled attempts created before `before`; open ones stay whatever their age. Returns how many were
    // deleted, -1 on failure.
    int prune(const QDateTime& before, QString* error = nullptr);

    static constexpr int kSchemaVersion = 2;
    static constexpr int kKeepDays = 90;

private:
    Journal(sqlite3* db, const QString& path, const gateway::Clock* clock);
    // A moment as the journal writes it beside its milliseconds (the gateway's wall time, with its offset).
    QString humanTime(const QDateTime& t) const;
    bool carryOver(const QList<Attempt>& open, const QDateTime& lostSince, QString* error);
    QList<Attempt> select(const char* where, const QVariantList& args, QString* error) const;
    // select() without the attempts whose outcome is known but not yet written.
    QList<Attempt> selectOpen(const char* where, const QVariantList& args, QString* error) const;
    // The attempts whose outcome is known but not yet written, as they read (their rows in the file may not match
    // a query that asks by state).
    QList<Attempt> selectUnwritten(QString* error) const;
    // `storageFailed`: the file could not take the change (as opposed to a change the rules refuse).
    bool move(qint64 id, State to, const QString& orderNo, const QString& note, const QString& releasedBy,
              QString* error, bool* storageFailed = nullptr, const QString& otherNo = QString());

    struct Unwritten {
        State state;
        QString orderNo;
        QString note;
        QString otherNo;
    };

    sqlite3* m_db = nullptr;
    QString m_path;
    Owner m_self;
    std::function<bool(const Owner&)> m_alive;
    QMap<qint64, Unwritten> m_unwritten;
    QString m_marker;  // this copy's "<journal>.copy-<pid>", removed on closing
    gateway::Clock m_ownClock;
    const gateway::Clock* m_clock = &m_ownClock;
};

// The start-up step: opens "payments.db" in `folder` (where data.ini lives) into `journal` (null when none could be
// opened: then no money may be sent) and prunes attempts older than kKeepDays. Returns what the cashier must be told
// (a file moved aside, no journal at all), empty when all is well.
QString openAtStartup(const QString& folder, std::unique_ptr<Journal>* journal, const gateway::Clock* clock = nullptr,
                      const QDateTime& now = QDateTime::currentDateTime());

}  // namespace journal

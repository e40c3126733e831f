#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace sandbox {

// Thin RAII layer over the SQLite C API: one connection, prepared statements with positional binding.
class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    template <typename... Args>
    Statement& bindAll(Args&&... args) {
        int i = 1;
        (bindOne(i++, std::forward<Args>(args)), ...);
        return *this;
    }
    // True while a row is available.
    bool step();
    // Runs to completion (for statements that return no rows).
    void exec();

    int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string text(int col) const;
    bool isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

    void bindOne(int i, int64_t v);
    void bindOne(int i, int v) { bindOne(i, static_cast<int64_t>(v)); }
    void bindOne(int i, const std::string& v);
    void bindOne(int i, const char* v) { bindOne(i, std::string(v)); }
    void bindOne(int i, std::nullptr_t);

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

class Database {
public:
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql);
    Statement prepare(const char* sql) { return Statement(db_, sql); }
    int64_t lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
    int changes() const { return sqlite3_changes(db_); }

private:
    sqlite3* db_ = nullptr;
};

// Commits on commit(), rolls back when left without it (an exception or an early return).
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.exec("ROLLBACK");
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.exec("COMMIT");
        done_ = true;
    }

private:
    Database& db_;
    bool done_ = false;
};

}  // namespace sandbox

#include "payments/openmoney.h"

#include <sqlite3.h>

#include <string>

namespace openmoney {

int openAttempts(const std::string& path) {
    sqlite3* db = nullptr;
    // Opened for writing though only read: a journal in WAL mode whose side files are gone cannot be opened read-only.
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (opened == SQLITE_CANTOPEN) {
        sqlite3_close(db);
        return 0;
    }
    if (opened != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    // A client that is just ending may still be writing its last step.
    sqlite3_busy_timeout(db, 5000);
    const std::string sql = std::string("SELECT COUNT(*) FROM attempts WHERE ") + kOpenCondition;
    sqlite3_stmt* statement = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        count = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
}

}  // namespace openmoney

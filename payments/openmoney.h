#pragma once

// Whether a payment journal holds a charge or refund whose outcome is still open (sending, or unknown), read from
// its file with SQLite alone: the updater, a program without Qt, asks it before a new version is installed over a
// till that may still have money moving.
#include <string>

namespace openmoney {

// The condition an open attempt's row meets (the journal's own queries use it too).
constexpr const char* kOpenCondition = "state IN ('sending', 'unresolved')";

// The number of open attempts in the journal file `path` (UTF-8): 0 when the file does not exist (no sale was ever
// made in this account), -1 when it exists but cannot be read as a journal (then nothing may be taken as quiet).
int openAttempts(const std::string& path);

}  // namespace openmoney

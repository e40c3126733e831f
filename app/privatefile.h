#pragma once

#include <QString>

// The settings files hold the login name, the password digest and the shop's set-up: only their owner may read them.
// Files are kept at owner read and write (0600), also when an older version or a copy left them open to others.
// Writes that replace a file (QSaveFile, QSettings) keep the permissions of the file they replace, so a file made
// private before its first write never holds its content readable by others.
namespace privatefile {

// Leaves the file at `path`, when it is one, readable and writable by its owner only. True when it is so now; false
// when it is missing, is not a regular file, or its permissions cannot be changed.
bool restrict(const QString& path);

// As restrict, creating the file empty first when nothing is at `path`.
bool ensure(const QString& path);

}  // namespace privatefile

#pragma once

#include <QString>

// This client's version, "3.0.1" style: the build's project version.
QString clientVersion();

// True when `offered` names a later version than `own`. The dot-separated numbers are compared one by one, so
// 3.0.10 comes after 3.0.9 and 10.0.0 after 3.0.1. Text that does not begin with a number is never later.
bool isNewerVersion(const QString& offered, const QString& own);

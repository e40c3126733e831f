#include "startup.h"

#include "dataconfig.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>

void syncAutostart() {
    // Rewritten on every start, so moving the program to another folder is picked up by the next start.
    if (dataConfig().check() <= 0) {
        platform::writeAutostart(QString());
    } else {
        platform::writeAutostart(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    }
}

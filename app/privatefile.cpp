#include "privatefile.h"

#include <QFile>
#include <QFileInfo>

namespace privatefile {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kModeBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
}  // namespace

bool restrict(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        return false;
    }
    if ((QFile::permissions(path) & kModeBits) == kOwnerOnly) {
        return true;
    }
    return QFile::setPermissions(path, kOwnerOnly);
}

bool ensure(const QString& path) {
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        // Created empty, so nothing is readable in it before its permissions are narrowed.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return false;
        }
        file.close();
    }
    return restrict(path);
}

}  // namespace privatefile

#include "version.h"

#include <QVersionNumber>

QString clientVersion() {
    return QStringLiteral(CASHIER_VERSION);
}

bool isNewerVersion(const QString& offered, const QString& own) {
    const QVersionNumber theirs = QVersionNumber::fromString(offered.trimmed());
    if (theirs.isNull()) {
        return false;
    }
    return QVersionNumber::compare(theirs, QVersionNumber::fromString(own)) > 0;
}

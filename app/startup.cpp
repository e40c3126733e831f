#include "startup.h"

#include "dataconfig.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void syncAutostart(DataConfig& config) {
    // Rewritten on every start, so moving the program to another folder is picked up by the next start.
    if (config.check() <= 0) {
        platform::writeAutostart(QString());
    } else {
        platform::writeAutostart(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    }
}

bool loadQtChinese() {
    // The till is Chinese whatever the system's locale: the catalogue is chosen by name, not by QLocale::system().
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        qWarning("Qt's Chinese catalogue (qtbase_zh_CN.qm) is not installed: Qt's own dialogs stay English");
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

void skipOpenGlForWindows() {
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
}

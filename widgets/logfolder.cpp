#include "logfolder.h"

#include "app/logcategories.h"
#include "messagebox.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

bool openLogFolder(QWidget* parent, const QString& folder) {
    // A log that never started (an unwritable folder) leaves none behind; the file manager would refuse a missing one.
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    qCInfo(lcUi).noquote() << "log folder" << folder << (opened ? "handed to the file manager" : "could not be opened");
    if (!opened) {
        msgbox::information(
            parent, msgbox::Title::Tip,
            QStringLiteral("无法打开日志文件夹，日志文件在：\n%1").arg(QDir::toNativeSeparators(folder)));
    }
    return opened;
}

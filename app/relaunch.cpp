#include "app/relaunch.h"

#include "app/logcategories.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QProcess>

namespace relaunch {

Command currentProgram() {
    return {QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1), QDir::currentPath()};
}

bool restartProgram(const Starter& start, const Quitter& quit) {
    const Command command = currentProgram();
    bool started = false;
    if (start) {
        started = start(command);
    } else {
        qint64 pid = 0;
        started = QProcess::startDetached(command.program, command.arguments, command.workingDirectory, &pid);
        if (started) {
            qCInfo(lcSession) << "shift handover: restarted as pid" << pid << "- this copy ends";
        }
    }
    if (!started) {
        qCWarning(lcSession) << "shift handover: could not start a new copy of" << command.program;
        return false;
    }
    if (quit) {
        quit(0);
    } else {
        QCoreApplication::exit(0);
    }
    return true;
}

}  // namespace relaunch

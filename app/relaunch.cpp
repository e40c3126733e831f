#include "app/relaunch.h"

#include "app/logcategories.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QProcess>

namespace relaunch {

namespace {
Starter& starter() {
    static Starter s;
    return s;
}
Quitter& quitter() {
    static Quitter q;
    return q;
}
}  // namespace

Command currentProgram() {
    return {QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1), QDir::currentPath()};
}

bool restartProgram() {
    const Command command = currentProgram();
    bool started = false;
    if (starter()) {
        started = starter()(command);
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
    if (quitter()) {
        quitter()(0);
    } else {
        QCoreApplication::exit(0);
    }
    return true;
}

void setHooksForTests(Starter start, Quitter quit) {
    starter() = std::move(start);
    quitter() = std::move(quit);
}

}  // namespace relaunch

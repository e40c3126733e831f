#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Ending a session for the next cashier: a new copy of the program starts at its login window, then this one ends.
namespace relaunch {

// How this program was started: its own path, its arguments (without the program name) and its working directory,
// where "data.ini" and "app.config" live.
struct Command {
    QString program;
    QStringList arguments;
    QString workingDirectory;
};
Command currentProgram();

// How a new copy is started (true: it runs) and this one is ended. Empty: a detached process, and the end of the
// event loop.
using Starter = std::function<bool(const Command&)>;
using Quitter = std::function<void(int exitCode)>;

// Starts a copy of `currentProgram()` and, once it runs, ends this copy's event loop with exit code 0. Returns false,
// and ends nothing, when the new copy could not be started.
bool restartProgram(const Starter& start = {}, const Quitter& quit = {});

}  // namespace relaunch

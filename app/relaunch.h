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

// Starts a detached copy of `currentProgram()` and, once it runs, ends this copy's event loop with exit code 0.
// Returns false, and ends nothing, when the new copy could not be started.
bool restartProgram();

// Tests replace the two steps: `start` instead of a real new process (true: it started), `quit` instead of ending
// the event loop. Empty functions restore the real ones.
using Starter = std::function<bool(const Command&)>;
using Quitter = std::function<void(int exitCode)>;
void setHooksForTests(Starter start, Quitter quit);

}  // namespace relaunch

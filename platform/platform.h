#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Everything that differs between operating systems. Callers never see #ifdef; CMake picks the implementation.
// Under the offscreen platform (tests) every call that would touch the desktop session is a safe no-op.
namespace platform {

// Autostart entry: on when `programPath` is non-empty, off when it is empty.
void writeAutostart(const QString& programPath);
// The program path currently registered for autostart, empty when off or absent.
QString autostartPath();

// The operating system's device for a port named "COMn" ("COMn" itself on Windows, /dev/ttyS<n-1> on Linux).
// data.ini may map a port elsewhere: see DataConfig::serialDevice.
QString defaultSerialDevice(const QString& comName);

// Makes sure the client works in a folder meant for the cashier's files (data.ini, app.config, the journal, the
// log), which live in the working directory. On Windows a start in the system folder (where the Run key's programs
// begin) or in the program's own folder (Program Files) moves to %LOCALAPPDATA%\Cashier, made when missing; the
// Start-menu entry starts there already. On Linux the launcher and the autostart entry choose the folder: nothing
// moves. Returns the working directory.
QString settleWorkingDirectory();

// How Qt rounds the screen's scale factor (set before the application object). Windows' own settings are whole
// quarters (125, 150, 175 %) and pass through as they are; an X server may report any dpi (100 gives 1.04, a blur for
// nothing), so Linux keeps Qt's rounding to whole numbers.
Qt::HighDpiScaleFactorRoundingPolicy scaleFactorRounding();

// The machine-wide settings file: the addresses the installer was given (gateway, vendor site), for every account
// of the computer. Beside the program on Windows (Program Files, written by the installer as administrator),
// /etc/cashier/site.ini on Linux. data.ini's own values come first (DataConfig).
QString siteSettingsFile();

// The installer started by the version check: install/updata (updata.exe on Windows) in the folder of the running
// program, not of the working directory.
QString installerPath();

// What tells one running process from any other, now or later: its id and a start mark that a later process with
// the same id (after it ended, or after a restart of the machine) does not share. Empty when it cannot be read.
QString processStartMark(qint64 pid);
// This process's id.
qint64 currentProcessId();
// Whether the print queue `name` (empty: the default one) takes new jobs. False only for a queue set to refuse them
// (CUPS: cupsreject), which otherwise looks ready and swallows the job unseen; true when it cannot be told (no such
// queue, the print service not answering: the receipt's other checks report those). Always true on Windows, where a
// paused or failed printer shows in its state.
bool printQueueAcceptsJobs(const QString& name);

// True when the desktop session is real (not the offscreen test platform).
bool hasDesktop();

// System-wide Alt+Z. Calls `onActivated` on the GUI thread each time the key is pressed.
// Returns false when the key could not be registered (another program holds it, or no desktop).
class GlobalHotKey : public QObject {
    Q_OBJECT
public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;
    bool registerAltZ();
    void unregister();
    bool isRegistered() const { return m_registered; }

signals:
    void activated();

private:
    struct Impl;
    Impl* d;
    bool m_registered = false;
};

}  // namespace platform

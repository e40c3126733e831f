#include "platform.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QSettings>

#include <windows.h>

namespace platform {

namespace {
const char* const kRunKey = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
bool isOffscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}
}  // namespace

QString processStartMark(qint64 pid) {
    if (pid <= 0) {
        return QString();
    }
    // The creation time names the process: a later one with the same id starts later.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        return QString();
    }
    FILETIME created{}, exited{}, kernel{}, user{};
    const bool ok = GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) != 0 && code == STILL_ACTIVE;
    CloseHandle(process);
    if (!ok || !running) {
        return QString();
    }
    const quint64 ticks = (static_cast<quint64>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return QString::number(ticks);
}

qint64 currentProcessId() {
    return QCoreApplication::applicationPid();
}

bool printQueueAcceptsJobs(const QString&) {
    return true;
}

bool hasDesktop() {
    return !isOffscreen();
}

void writeAutostart(const QString& programPath) {
    if (isOffscreen()) {
        return;
    }
    QSettings reg(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    reg.setValue(QStringLiteral("auto"), programPath);
    reg.sync();
    // Start-up goes on either way; support needs to know why the till did not start with Windows.
    if (reg.status() != QSettings::NoError) {
        qWarning().noquote() << "autostart: the registry value"
                             << QString::fromLatin1(kRunKey) + QStringLiteral("\\auto") << "could not be written";
    }
}

QString autostartPath() {
    QSettings reg(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    return reg.value(QStringLiteral("auto")).toString();
}

QString defaultSerialDevice(const QString& comName) {
    return comName;
}

namespace {
bool sameOrInside(const QString& folder, const QString& parent) {
    const QString f = QDir::cleanPath(QDir::fromNativeSeparators(folder)).toLower();
    const QString p = QDir::cleanPath(QDir::fromNativeSeparators(parent)).toLower();
    return !p.isEmpty() && (f == p || f.startsWith(p + QLatin1Char('/')));
}
}  // namespace

QString settleWorkingDirectory() {
    const QString current = QDir::currentPath();
    wchar_t windowsDir[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windowsDir, MAX_PATH);
    const QString system =
        length > 0 && length < MAX_PATH ? QString::fromWCharArray(windowsDir, int(length)) : QString();
    const bool misplaced = QDir::cleanPath(current).compare(QDir::cleanPath(QCoreApplication::applicationDirPath()),
                                                            Qt::CaseInsensitive) == 0 ||
                           sameOrInside(current, system);
    const QString localData = qEnvironmentVariable("LOCALAPPDATA");
    if (!misplaced || localData.isEmpty()) {
        return current;
    }
    const QString folder = QDir(QDir::fromNativeSeparators(localData)).filePath(QStringLiteral("Cashier"));
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        qWarning().noquote() << "cannot work in" << QDir::toNativeSeparators(folder) << "- staying in"
                             << QDir::toNativeSeparators(current);
        return current;
    }
    return QDir::currentPath();
}

QString siteSettingsFile() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/site.ini");
}

QString installerPath() {
    // Next to the installed program, wherever the client was started from.
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/install/updata.exe"));
}

struct GlobalHotKey::Impl : public QAbstractNativeEventFilter {
    GlobalHotKey* owner = nullptr;
    ATOM atom = 0;
    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override {
        if (eventType != "windows_generic_MSG") {
            return false;
        }
        MSG* msg = static_cast<MSG*>(message);
        if (msg->message == WM_HOTKEY) {
            emit owner->activated();
            if (result) {
                *result = 0;
            }
            return true;
        }
        return false;
    }
};

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent), d(new Impl) {
    d->owner = this;
}

GlobalHotKey::~GlobalHotKey() {
    unregister();
    delete d;
}

bool GlobalHotKey::registerAltZ() {
    if (m_registered || isOffscreen()) {
        return m_registered;
    }
    d->atom = GlobalAddAtomA("setUpWindow");
    if (!RegisterHotKey(nullptr, d->atom, MOD_ALT, 0x5A)) {
        GlobalDeleteAtom(d->atom);
        d->atom = 0;
        return false;
    }
    QCoreApplication::instance()->installNativeEventFilter(d);
    m_registered = true;
    return true;
}

void GlobalHotKey::unregister() {
    if (!m_registered) {
        return;
    }
    QCoreApplication::instance()->removeNativeEventFilter(d);
    UnregisterHotKey(nullptr, d->atom);
    GlobalDeleteAtom(d->atom);
    d->atom = 0;
    m_registered = false;
}

}  // namespace platform

#include "platform.h"

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

Qt::HighDpiScaleFactorRoundingPolicy scaleFactorRounding() {
    return Qt::HighDpiScaleFactorRoundingPolicy::PassThrough;
}

QString siteSettingsFile() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/site.ini");
}

QString installerPath() {
    // Next to the installed program, wherever the client was started from.
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/install/updata.exe"));
}

// The key is registered for a hidden message-only window of its own rather than for the thread: WM_HOTKEY then goes
// to that window, and a modal loop that is not Qt's (a native file or print dialog, a message box) dispatches it like
// any window message. A thread's WM_HOTKEY is dropped by such a loop, and the cashier's Alt+Z with it.
namespace {
const wchar_t* const kHotKeyWindowClass = L"CashierAltZWindow";

LRESULT CALLBACK hotKeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY) {
        if (auto* owner = reinterpret_cast<GlobalHotKey*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            emit owner->activated();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeHotKeyWindow(GlobalHotKey* owner) {
    static const bool registered = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = hotKeyWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHotKeyWindowClass;
        return RegisterClassW(&windowClass) != 0;
    }();
    if (!registered) {
        return nullptr;
    }
    HWND window = CreateWindowExW(0, kHotKeyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    return window;
}
}  // namespace

struct GlobalHotKey::Impl {
    HWND window = nullptr;
    ATOM atom = 0;
};

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent), d(new Impl) {}

GlobalHotKey::~GlobalHotKey() {
    unregister();
    if (d->window) {
        DestroyWindow(d->window);
    }
    delete d;
}

bool GlobalHotKey::registerAltZ() {
    if (m_registered || isOffscreen()) {
        return m_registered;
    }
    if (!d->window) {
        d->window = makeHotKeyWindow(this);
        if (!d->window) {
            qWarning() << "Alt+Z: no window to receive the key:" << GetLastError();
            return false;
        }
    }
    d->atom = GlobalAddAtomA("setUpWindow");
    if (!RegisterHotKey(d->window, d->atom, MOD_ALT, 0x5A)) {
        GlobalDeleteAtom(d->atom);
        d->atom = 0;
        return false;
    }
    m_registered = true;
    return true;
}

void GlobalHotKey::unregister() {
    if (!m_registered) {
        return;
    }
    UnregisterHotKey(d->window, d->atom);
    GlobalDeleteAtom(d->atom);
    d->atom = 0;
    m_registered = false;
}

}  // namespace platform

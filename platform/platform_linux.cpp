#include "platform.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QX11Info>

#include <cups/cups.h>
#include <xcb/xcb.h>
#include <cstring>

namespace platform {

namespace {

QString autostartFile() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return dir + QStringLiteral("/autostart/cashier.desktop");
}

bool isOffscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen") ||
           qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen");
}

}  // namespace

QString processStartMark(qint64 pid) {
    if (pid <= 0) {
        return QString();
    }
    // Field 22 of /proc/<pid>/stat is the start time in clock ticks since boot; with the boot's id it names the
    // process uniquely. The command name (field 2) may hold spaces and parentheses: fields are counted after its
    // last ')'.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    if (close < 0) {
        return QString();
    }
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // After the name: state is field 3, so the start time (field 22) is the 20th here.
    if (fields.size() < 20 || fields.at(0) == "Z" || fields.at(0) == "X") {
        return QString();  // unreadable, or ended and not yet reaped
    }
    QFile bootId(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    const QByteArray boot = bootId.open(QIODevice::ReadOnly) ? bootId.readAll().trimmed() : QByteArray();
    return QString::fromLatin1(boot + ':' + fields.at(19));
}

qint64 currentProcessId() {
    return QCoreApplication::applicationPid();
}

bool printQueueAcceptsJobs(const QString& name) {
    // The scheduler's own word for the queue (what lpstat -a shows); Qt's printer state leaves it out.
    cups_dest_t* dest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.isEmpty() ? nullptr : name.toUtf8().constData(), nullptr);
    if (!dest) {
        return true;
    }
    const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool refuses = accepting && std::strcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    return !refuses;
}

bool hasDesktop() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !isOffscreen();
}

void writeAutostart(const QString& programPath) {
    if (isOffscreen()) {
        return;
    }
    const QString file = autostartFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return;
    }
    QTextStream s(&out);
    s.setCodec("UTF-8");
    s << "[Desktop Entry]\n"
      << "Type=Application\n"
      << "Name=cashier\n";
    // Exec must stay a valid command line: quote the path when it holds blanks.
    QString exec = programPath;
    if (exec.contains(QLatin1Char(' '))) {
        exec = QLatin1Char('"') + exec + QLatin1Char('"');
    }
    s << "Exec=" << exec << "\n";
    s << "Path=" << QDir::currentPath() << "\n";
    if (programPath.isEmpty()) {
        s << "Hidden=true\n";
    }
    s.flush();
    out.commit();
}

QString autostartPath() {
    QFile in(autostartFile());
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    QString exec;
    bool hidden = false;
    const QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec="))) {
            exec = line.mid(5).trimmed();
            if (exec.size() >= 2 && exec.startsWith(QLatin1Char('"')) && exec.endsWith(QLatin1Char('"'))) {
                exec = exec.mid(1, exec.size() - 2);
            }
        } else if (line.trimmed() == QLatin1String("Hidden=true")) {
            hidden = true;
        }
    }
    return hidden ? QString() : exec;
}

QString defaultSerialDevice(const QString& comName) {
    static const QRegularExpression re(QStringLiteral("^COM(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(comName);
    if (!m.hasMatch()) {
        return comName;
    }
    const int n = m.captured(1).toInt();
    return QStringLiteral("/dev/ttyS%1").arg(qMax(0, n - 1));
}

QString settleWorkingDirectory() {
    return QDir::currentPath();
}

Qt::HighDpiScaleFactorRoundingPolicy scaleFactorRounding() {
    return Qt::HighDpiScaleFactorRoundingPolicy::Round;
}

QString siteSettingsFile() {
    return QStringLiteral("/etc/cashier/site.ini");
}

QString installerPath() {
    // Next to the installed program, wherever the client was started from (the launcher starts it in the user's
    // settings folder).
    return QCoreApplication::applicationDirPath() + QStringLiteral("/install/updata");
}

// Alt+Z through a passive key grab on the root window. The grab is made with every combination of the lock
// modifiers (NumLock, CapsLock) so the key works whatever the lock state.
struct GlobalHotKey::Impl : public QAbstractNativeEventFilter {
    GlobalHotKey* owner = nullptr;
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    xcb_keycode_t keycode = 0;
    QList<uint16_t> masks;

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override {
        Q_UNUSED(result);
        if (eventType != "xcb_generic_event_t" || keycode == 0) {
            return false;
        }
        auto* ev = static_cast<xcb_generic_event_t*>(message);
        if ((ev->response_type & ~0x80) != XCB_KEY_PRESS) {
            return false;
        }
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
        const uint16_t state =
            key->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
        if (key->detail == keycode && state == XCB_MOD_MASK_1) {
            emit owner->activated();
            return true;
        }
        return false;
    }

    xcb_keycode_t keycodeFor(xcb_keysym_t sym) {
        const xcb_setup_t* setup = xcb_get_setup(conn);
        const xcb_keycode_t minKc = setup->min_keycode;
        const xcb_keycode_t maxKc = setup->max_keycode;
        xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
            conn, xcb_get_keyboard_mapping(conn, minKc, static_cast<uint8_t>(maxKc - minKc + 1)), nullptr);
        if (!reply) {
            return 0;
        }
        xcb_keycode_t found = 0;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        const int per = reply->keysyms_per_keycode;
        const int count = xcb_get_keyboard_mapping_keysyms_length(reply);
        for (int i = 0; i < count && !found; ++i) {
            if (syms[i] == sym) {
                found = static_cast<xcb_keycode_t>(minKc + i / per);
            }
        }
        free(reply);
        return found;
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
    if (m_registered) {
        return true;
    }
    if (!hasDesktop() || QGuiApplication::platformName() != QLatin1String("xcb") || !QX11Info::isPlatformX11()) {
        return false;
    }
    d->conn = QX11Info::connection();
    d->root = static_cast<xcb_window_t>(QX11Info::appRootWindow());
    if (!d->conn || !d->root) {
        return false;
    }
    d->keycode = d->keycodeFor(0x7a);  // XK_z
    if (d->keycode == 0) {
        return false;
    }
    const uint16_t numLock = XCB_MOD_MASK_2;
    const uint16_t capsLock = XCB_MOD_MASK_LOCK;
    d->masks = {0, numLock, capsLock, static_cast<uint16_t>(numLock | capsLock)};
    bool ok = true;
    for (uint16_t extra : d->masks) {
        xcb_void_cookie_t cookie = xcb_grab_key_checked(d->conn, 1, d->root, XCB_MOD_MASK_1 | extra, d->keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // Another client already holding Alt+Z answers BadAccess.
        if (xcb_generic_error_t* err = xcb_request_check(d->conn, cookie)) {
            free(err);
            ok = false;
        }
    }
    if (!ok) {
        for (uint16_t extra : d->masks) {
            xcb_ungrab_key(d->conn, d->keycode, d->root, XCB_MOD_MASK_1 | extra);
        }
        xcb_flush(d->conn);
        d->keycode = 0;
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
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(d);
    }
    for (uint16_t extra : d->masks) {
        xcb_ungrab_key(d->conn, d->keycode, d->root, XCB_MOD_MASK_1 | extra);
    }
    xcb_flush(d->conn);
    d->keycode = 0;
    m_registered = false;
}

}  // namespace platform

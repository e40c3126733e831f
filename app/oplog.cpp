#include "oplog.h"

#include "logcategories.h"
#include "privatefile.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <spdlog/async.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

namespace oplog {
namespace {

constexpr char kFileName[] = "cashier.log";
constexpr char kLoggerName[] = "cashier";
// Lines waiting for the writer thread; when it falls this far behind, the oldest are dropped rather than a caller
// waiting.
constexpr size_t kQueueLines = 1024;

std::atomic<bool> g_on{false};
std::atomic<bool> g_echo{true};
QtMessageHandler g_previous = nullptr;
// Read by the handler on any thread while stop() may drop it: taken and dropped atomically.
std::shared_ptr<spdlog::logger> g_logger;
// The logger holds its writer thread weakly: the pool is kept here, and letting it go writes what is queued.
std::shared_ptr<spdlog::details::thread_pool> g_pool;
std::mutex g_startStop;

void closeFile() {
    g_on = false;
    spdlog::shutdown();
    std::atomic_store(&g_logger, std::shared_ptr<spdlog::logger>());
    g_pool.reset();
}

void turnOff(const std::string& why) {
    if (g_on.exchange(false)) {
        std::fprintf(stderr, "cashier: operations log off: %s\n", why.c_str());
    }
}

spdlog::level::level_enum spdLevel(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return spdlog::level::debug;
        case QtInfoMsg:
            return spdlog::level::info;
        case QtWarningMsg:
            return spdlog::level::warn;
        case QtCriticalMsg:
            return spdlog::level::err;
        case QtFatalMsg:
            return spdlog::level::critical;
    }
    return spdlog::level::info;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (g_echo && g_previous) {
        g_previous(type, context, message);
    }
    if (!g_on) {
        return;
    }
    const auto level = spdLevel(type);
    const std::shared_ptr<spdlog::logger> logger = std::atomic_load(&g_logger);
    if (!logger || !logger->should_log(level)) {
        return;
    }
    const char* category = context.category ? context.category : "default";
    if (qstrncmp(category, "cashier.", 8) == 0) {
        category += 8;
    }
    const QByteArray text = oneLine(message);
    logger->log(level, "{:<8} {}", category, std::string_view(text.constData(), size_t(text.size())));
    if (type == QtFatalMsg) {
        // Qt aborts when this returns: the line must be on disk first.
        closeFile();
    }
}

const char* levelName(Level level) {
    switch (level) {
        case Level::Debug:
            return "debug";
        case Level::Info:
            return "info";
        case Level::Warning:
            return "warning";
    }
    return "info";
}

std::optional<Level> parseLevel(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("debug")) {
        return Level::Debug;
    }
    if (t == QLatin1String("info")) {
        return Level::Info;
    }
    if (t == QLatin1String("warning") || t == QLatin1String("warn")) {
        return Level::Warning;
    }
    return std::nullopt;
}

}  // namespace

Level levelFrom(const QStringList& arguments, const QString& environment) {
    const QString option = QStringLiteral("--log-level");
    for (int i = 0; i < arguments.size(); ++i) {
        std::optional<Level> asked;
        if (arguments.at(i) == option && i + 1 < arguments.size()) {
            asked = parseLevel(arguments.at(i + 1));
        } else if (arguments.at(i).startsWith(option + QLatin1Char('='))) {
            asked = parseLevel(arguments.at(i).mid(option.size() + 1));
        }
        if (asked) {
            return *asked;
        }
    }
    return parseLevel(environment).value_or(Level::Info);
}

QByteArray oneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\\n");
    bytes.replace('\n', "\\n");
    bytes.replace('\r', "\\n");
    return bytes;
}

bool start(const QString& folder, Level level, const Limits& limits, bool echo) {
    const std::lock_guard<std::mutex> lock(g_startStop);
    g_echo = echo;
    if (!g_previous) {
        g_previous = qInstallMessageHandler(handler);
    }
    if (g_logger) {
        return g_on;
    }
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        std::fprintf(stderr, "cashier: operations log off: cannot make the folder %s\n", qPrintable(folder));
        return false;
    }
    const QString name = QDir(folder).filePath(QLatin1String(kFileName));
#ifdef SPDLOG_WCHAR_FILENAMES
    const spdlog::filename_t path = QDir::toNativeSeparators(name).toStdWString();
    const auto toQString = [](const spdlog::filename_t& file) { return QString::fromStdWString(file); };
#else
    const spdlog::filename_t path = QFile::encodeName(name).toStdString();
    const auto toQString = [](const spdlog::filename_t& file) { return QFile::decodeName(file.c_str()); };
#endif
    spdlog::file_event_handlers events;
    // Created private before the first byte; an older file left open to others is narrowed too.
    events.before_open = [toQString](const spdlog::filename_t& file) { privatefile::ensure(toQString(file)); };
    try {
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            path, size_t(std::max<qint64>(limits.fileBytes, 1024)), size_t(std::max(limits.files - 1, 1)), false,
            events);
        auto pool = std::make_shared<spdlog::details::thread_pool>(kQueueLines, 1);
        auto logger = std::make_shared<spdlog::async_logger>(kLoggerName, std::move(sink), pool,
                                                             spdlog::async_overflow_policy::overrun_oldest);
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %-7l %v");
        logger->set_level(level == Level::Debug  ? spdlog::level::debug
                          : level == Level::Info ? spdlog::level::info
                                                 : spdlog::level::warn);
        logger->flush_on(spdlog::level::warn);
        // Called on the writer thread when a write fails (a full disk, a folder taken away).
        logger->set_error_handler([](const std::string& why) { turnOff(why); });
        spdlog::register_logger(logger);
        spdlog::flush_every(std::chrono::seconds(1));
        std::atomic_store(&g_logger, std::shared_ptr<spdlog::logger>(std::move(logger)));
        g_pool = std::move(pool);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cashier: operations log off: %s\n", e.what());
        return false;
    }
    g_on = true;
    return true;
}

bool isOn() {
    return g_on;
}

void stop() {
    const std::lock_guard<std::mutex> lock(g_startStop);
    if (g_previous) {
        qInstallMessageHandler(g_previous);
        g_previous = nullptr;
    }
    closeFile();
}

void startForClient(const QString& folder, const QString& dataFolder, const QStringList& arguments) {
    const Level level = levelFrom(arguments, qEnvironmentVariable("CASHIER_LOG_LEVEL"));
    start(folder, level);
    qCInfo(lcApp).noquote() << "start: cashier" << clientVersion() << "pid" << QCoreApplication::applicationPid()
                            << "on" << QSysInfo::prettyProductName() << QSysInfo::currentCpuArchitecture() << "Qt"
                            << qVersion();
    qCInfo(lcApp).noquote() << "folders: data" << QDir(dataFolder).absolutePath() << "program"
                            << QCoreApplication::applicationDirPath() << "log" << QDir(folder).absolutePath() << "level"
                            << levelName(level);
}

void endForClient(int exitCode) {
    qCInfo(lcApp).noquote() << "end: exit code" << exitCode;
    stop();
}

}  // namespace oplog

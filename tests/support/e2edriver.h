#pragma once

// Drives real processes on the X display the test script provides: the sandbox gateway, the client, and the
// keyboard and pointer through xdotool. Checks made here (QVERIFY) fail the running test function; callers look
// at QTest::currentTestFailed() before going on.

#include <QJsonObject>
#include <QProcess>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariantMap>

#include <memory>

namespace e2e {

// Runs `program` and returns its standard output (trimmed). `exitCode` gets -1 when it crashed or hung.
QString run(const QString& program, const QStringList& args, int* exitCode = nullptr);

QString xdotool(const QStringList& args);
// Visible (mapped) windows whose name matches `name` exactly.
QStringList visibleWindows(const QString& name);
// Every visible window of the client, nameless ones (a drop-down list) too.
QStringList clientWindows();
// The first visible window named `name`; empty when none showed up in time.
QString waitForVisible(const QString& name, int timeoutMs = 15000);
bool waitForHidden(const QString& name, int timeoutMs = 10000);
QRect geometry(const QString& window);
// The first visible window named `name` whose size is `size` (several windows may share a title).
QString waitForVisible(const QString& name, const QSize& size, int timeoutMs = 15000);
// The window's place among the root window's children, bottom first (-1 when it is not one of them): a larger
// number is drawn over a smaller one.
int stackingIndex(const QString& window);

// Points are relative to the window's top-left corner. Without a window manager the keyboard follows the
// pointer, so keys go where the pointer rests. Each call returns once the X server has done it (xdotool syncs
// with the server as it closes its connection), and the client receives its input in that order: the next key or
// click needs no pause. What the client does with it is what a test waits for.
void pointAt(const QString& window, int x, int y);
void clickAt(const QString& window, int x, int y);
// `delayMs` between keys.
void typeText(const QString& text, int delayMs = 40);
void key(const QString& keys);

// gateway-sandbox on a free port with a database of its own; stopped when this goes.
class Sandbox {
public:
    ~Sandbox();
    // Starts it and reads the port it bound from its first line. `extraArgs` go on its command line (for instance
    // "--password-wait-ms", "4000").
    void start(const QStringList& extraArgs = {});
    int port() const { return m_port; }
    // The requests of `action` the sandbox logged, oldest first; and forgetting them all.
    QList<QJsonObject> loggedRequests(const QString& action) const;
    void clearLog() const;
    // A fault rule as sandbox/README.md describes it, e.g. {"action":"Pay.Ace.scanpay","mode":"hang","times":1}.
    void addFault(const QByteArray& ruleJson) const;
    // The order number of the one receipt print the client reported (Account.Print.doprint); empty, and the test
    // failed, when none came or more than one did.
    QString reportedPrint() const;
    // Removes every rule and drops the connections held by hung requests.
    void clearFaults() const;
    // The pc client's version its version answer names from now on.
    void offerVersion(const QString& version) const;

private:
    QTemporaryDir m_dbDir;
    QProcess m_process;
    int m_port = 0;
};

// A serial line of two pseudo-terminals joined by socat: the client opens `device()` as a COM port, the test writes
// and reads at the other end. The test also holds the client's side open (without reading it), so the line does
// not hang up while the client closes and re-opens its port.
class SerialLine {
public:
    SerialLine();
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    bool ready() const { return m_end >= 0 && m_hold >= 0; }
    QString device() const;
    bool write(const QByteArray& bytes);
    // What reached this end within `timeoutMs`; returns early once `expected` bytes are there (< 0: waits it out).
    QByteArray read(int timeoutMs, int expected = -1);

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
    int m_end = -1;
    int m_hold = -1;
};

// What the client finds in its working directory besides data.ini's data_config keys.
struct ClientFiles {
    // data.ini group serial_devices: "COMn" -> device. When empty, the client's default software port (COM9)
    // gets an idle line of its own, so the client starts without a port message.
    QVariantMap serialDevices;
    // app.config, when not empty.
    QByteArray appConfig;
    // "NAME=value" entries added to the client's environment.
    QStringList environment;
};

// The client in a working directory of its own, its data.ini pointed at the sandbox on `port`; `settings` adds
// data_config/ keys. Ended when this goes.
class Client {
public:
    explicit Client(int port, const QVariantMap& settings = {}, const ClientFiles& files = {});
    ~Client();
    // Everything the client wrote so far (stdout and stderr).
    QString output();
    bool running() const { return m_process.state() == QProcess::Running; }
    // Kills the client (SIGKILL) and starts it again in the same working directory.
    void killAndRestart();
    // A second copy of the client started in the same working directory (with the same environment), as a cashier
    // who starts it twice; ended when the returned process goes.
    std::unique_ptr<QProcess, void (*)(QProcess*)> startCopy();
    // Waits for the client to end by itself; its exit code, or -1 when it is still running or crashed.
    int waitForExit(int timeoutMs = 10000);
    // data_config/<key> as the client keeps it.
    QString setting(const QString& key) const;
    // A file in the client's working directory.
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Waits until the client's output holds `needle` at least `count` times.
    bool waitForOutput(const QString& needle, int count = 1, int timeoutMs = 10000);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SerialLine> m_idleLine;
    QProcess m_process;
    QString m_log;
};

// Signs in with the demo account in the login window on screen and confirms the first store.
void signInAndChooseStore(Client& client, const QString& password = QStringLiteral("demo123"));
// The same for a client the test did not start (a copy the client started itself), whose gateway is `sandbox`.
void signInOnScreen(const Sandbox& sandbox, const QString& password = QStringLiteral("demo123"));
// The same with another account of the sandbox (demo2 has no refund password yet).
void signInAndChooseStoreAs(Client& client, const QString& user, const QString& password);

// The main window's pages, in the order of their buttons.
enum class Page { Tickets, Amount, Transactions, Merchant };
// Shows a page of the main window with its button. (F1 … F3 press the button as an animated click, which lands
// a moment later: keys typed meanwhile would reach the page before.)
void openPage(const QString& main, Page page);

// In the payment window on screen: `code` typed as a scanner does (fast, ending with Return).
void scanCode(const QString& payWindow, const QString& code);
// On the main window: the amount page (F1), `amount` keyed, and `code` scanned in the payment window.
void keyAmountAndScan(Client& client, const QString& amount, const QString& code);
// Returns once the clock is in a later second than when called. The shift summary's period ends at the whole second
// it opens: a sale of the same second would fall outside it.
void waitForNextSecond();
// On the main window: the transaction page and its 交接班 button; the shift summary window, once it is shown.
QString openShiftSummary(const QString& main);

// The test's preconditions: an X display (skipped without one) and the tools it drives. False when the test function
// has been skipped or failed.
bool haveDisplayAndTools(const QStringList& tools);

// HTTP from the test itself, for the sandbox's gateway and control endpoints: the reply's JSON object (empty when
// there is none).
QJsonObject getJson(const QUrl& url);
QJsonObject postForm(const QUrl& url, const QByteArray& body);
void deleteAt(const QUrl& url);

// The CUPS queue whose backend keeps every job as a file (tests/e2e/cups/setup-capture-queue.sh). The queue is
// shared by everyone on the machine: find a job by what it says, not only by being new.
QString captureQueue();
// Whether that queue exists (tests/e2e/cups/setup-capture-queue.sh has run).
bool captureQueueReady();
// File names of the jobs kept so far.
QSet<QString> capturedJobs();
// Waits until the capture queue holds no job still to run: every job given to it so far has been captured.
bool waitForQueueDrained(int timeoutMs = 30000);
// A job's text; compatibility forms (a PDF font may map 支 to the radical ⽀) are folded to the usual characters.
QString jobText(const QString& file);
// True when `text` holds `needle`, where a CJK radical form in the text (U+2E80..U+2FDF, what a font's glyph names
// may turn an ideograph into, e.g. ⻄ for 西) stands for any ideograph.
bool printedTextHas(const QString& text, const QString& needle);

}  // namespace e2e

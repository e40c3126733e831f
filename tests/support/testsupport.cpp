#include "testsupport.h"

#include "payments/journal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QUrlQuery>
#include <QtTest>

#include <httplib.h>

#include "gateway/httpfun.h"

#ifndef Q_OS_WIN
#include <sys/ioctl.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace testsupport {

namespace {
TempWorkDir* g_dir = nullptr;
}  // namespace

Till& till() {
    Q_ASSERT(g_dir);
    return g_dir->till();
}

void restartTill() {
    Q_ASSERT(g_dir);
    g_dir->restartTill();
}

TempWorkDir::TempWorkDir() : m_outer(g_dir) {
    restartTill();
    g_dir = this;
}

void TempWorkDir::restartTill() {
    m_till.reset();
    m_till = std::make_unique<Till>(m_dir.path());
    // Money moves only through the payment journal: each case gets a fresh one in its folder.
    m_till->setJournal(journal::Journal::openFile(m_dir.filePath(QStringLiteral("payments.db"))).journal);
}

TempWorkDir::~TempWorkDir() {
    g_dir = m_outer;
    m_till.reset();
}

#ifndef Q_OS_WIN
PtyLine::PtyLine() {
    int end = -1;
    int device = -1;
    if (openpty(&end, &device, nullptr, nullptr, nullptr) != 0) {
        return;
    }
    // Raw both ways: bytes pass unchanged (no echo, CR stays CR).
    for (int fd : {end, device}) {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    m_end = end;
    m_deviceFd = device;
    m_device = QString::fromLocal8Bit(ttyname(device));
}

PtyLine::~PtyLine() {
    if (m_end >= 0) {
        ::close(m_end);
        ::close(m_deviceFd);
    }
}

bool PtyLine::write(const QByteArray& bytes) {
    return m_end >= 0 && ::write(m_end, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PtyLine::read(int timeoutMs, int expected) {
    QByteArray out;
    if (m_end < 0) {
        return out;
    }
    QDeadlineTimer deadline(timeoutMs);
    do {
        char buf[512];
        ssize_t n;
        while ((n = ::read(m_end, buf, sizeof buf)) > 0) {
            out.append(buf, int(n));
        }
        if (expected >= 0 && out.size() >= expected) {
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(2);
    } while (!deadline.hasExpired());
    return out;
}

int PtyLine::unread() const {
    int n = 0;
    // Both ends share the device's input queue: what is still in it has not been read by the port.
    return m_deviceFd >= 0 && ioctl(m_deviceFd, FIONREAD, &n) == 0 ? n : -1;
}

IdleSerialLine::IdleSerialLine() {
    till().settings().setSerialDevice(QStringLiteral("COM%1").arg(till().record().softPortNo), line.device());
}
#endif

MessageBoxWatcher::MessageBoxWatcher() : msgbox::Answerer(QCoreApplication::instance()) {}

QMessageBox::StandardButton MessageBoxWatcher::answer(const msgbox::Request& r) {
    m_boxes.append({r.icon, r.title, r.text, r.defaultButton, r.clickOnly});
    if (!m_queued.isEmpty() && r.buttons.testFlag(m_queued.first())) {
        return m_queued.takeFirst();
    }
    // A box without the asked-for button is answered with its first one, as a cashier would have to.
    if (r.buttons.testFlag(m_answer)) {
        return m_answer;
    }
    for (int b = QMessageBox::FirstButton; b <= QMessageBox::LastButton; b <<= 1) {
        if (r.buttons.testFlag(static_cast<QMessageBox::StandardButton>(b))) {
            return static_cast<QMessageBox::StandardButton>(b);
        }
    }
    return QMessageBox::NoButton;
}

bool MessageBoxWatcher::waitForBoxes(int n, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_boxes.size() >= n; }, timeoutMs);
}

StubGateway::StubGateway() : m_server(std::make_unique<httplib::Server>()) {
    m_handler = [](const QByteArray&) { return Response{200, QByteArrayLiteral("{}"), 0}; };
    m_server->Post("/api.php/Gateway/index", [this](const httplib::Request& req, httplib::Response& res) {
        const QByteArray body = QByteArray::fromStdString(req.body);
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bodies.append(body);
            handler = m_handler;
        }
        const Response r = handler(body);
        if (r.delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(r.delayMs));
        }
        res.status = r.status;
        res.set_content(r.body.toStdString(), "application/json; charset=utf-8");
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_answered;
    });
    // The test's own round trips (see roundTrip()): answered at once, never recorded.
    m_server->Post("/probe",
                   [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "text/plain"); });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

StubGateway::~StubGateway() {
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void StubGateway::setHandler(Handler h) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(h);
}

void StubGateway::setReply(const QByteArray& json, int status) {
    setHandler([json, status](const QByteArray&) { return Response{status, json, 0}; });
}

QString StubGateway::url() const {
    return QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(m_port);
}

QList<QByteArray> StubGateway::bodies() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bodies;
}

QList<QByteArray> StubGateway::bodiesOf(const char* action) const {
    QList<QByteArray> out;
    const QList<QByteArray> all = bodies();
    for (const QByteArray& b : all) {
        if (actionOf(b) == action) {
            out.append(b);
        }
    }
    return out;
}

int StubGateway::countOf(const char* action) const {
    return bodiesOf(action).size();
}

bool StubGateway::waitForBodies(int n, int timeoutMs) const {
    return QTest::qWaitFor([&] { return bodies().size() >= n; }, timeoutMs);
}

bool StubGateway::waitForAnswers(int timeoutMs) const {
    return QTest::qWaitFor(
        [&] {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_answered >= m_bodies.size();
        },
        timeoutMs);
}

bool StubGateway::roundTrip(int timeoutMs) const {
    auto answered = std::make_shared<bool>(false);
    auto* http = new HttpFun;
    http->setTimeoutInterval(timeoutMs);
    QObject::connect(http, &HttpFun::signal_requestFinished,
                     [answered](bool ok, const QByteArray&) { *answered = ok; });
    http->post(QStringLiteral("http://127.0.0.1:%1/probe").arg(m_port), QByteArrayLiteral("probe"));
    return QTest::qWaitFor([answered] { return *answered; }, timeoutMs + 1000);
}

GatewayFixture::GatewayFixture() {
    till().settings().setGatewayUrl(stub.url());
    // The login window's version check would add its own request to every test; the tests of it turn it back on.
    till().settings().setCheckUpdata(1);
}

namespace {
DebugLog* g_debugLog = nullptr;
}  // namespace

DebugLog::DebugLog() {
    g_debugLog = this;
    m_previous = qInstallMessageHandler(&DebugLog::handle);
}

DebugLog::~DebugLog() {
    qInstallMessageHandler(m_previous);
    g_debugLog = nullptr;
}

void DebugLog::handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!g_debugLog) {
        return;
    }
    g_debugLog->m_lines.append(text);
    if (g_debugLog->m_previous) {
        g_debugLog->m_previous(type, context, text);
    }
}

int DebugLog::count(const QString& start, const QString& part) const {
    int n = 0;
    for (const QString& line : m_lines) {
        if (line.startsWith(start) && line.contains(part)) {
            ++n;
        }
    }
    return n;
}

QString formValue(const QByteArray& body, const QString& name) {
    const QList<QByteArray> pairs = body.split('&');
    for (const QByteArray& pair : pairs) {
        const int eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        if (QString::fromUtf8(key) == name) {
            QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
            value.replace('+', ' ');
            return QString::fromUtf8(QByteArray::fromPercentEncoding(value));
        }
    }
    return QString();
}

QByteArray actionOf(const QByteArray& body) {
    return formValue(body, QStringLiteral("action")).toUtf8();
}

bool waitForQueuedWork(int timeoutMs) {
    auto done = std::make_shared<bool>(false);
    QTimer::singleShot(0, [done] { *done = true; });
    return QTest::qWaitFor([done] { return *done; }, timeoutMs);
}

bool waitPast(int ms) {
    auto done = std::make_shared<bool>(false);
    QTimer::singleShot(ms, Qt::PreciseTimer, [done] { *done = true; });
    return QTest::qWaitFor([done] { return *done; }, ms + 30000);
}

QByteArray fileBytes(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int firstOutOfOrder(const QString& html, const QStringList& needles) {
    int from = 0;
    for (int i = 0; i < needles.size(); ++i) {
        const int at = html.indexOf(needles.at(i), from);
        if (at < 0) {
            return i;
        }
        from = at + needles.at(i).size();
    }
    return -1;
}

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);  // anything but hex digits (spaces) is skipped
}

}  // namespace testsupport

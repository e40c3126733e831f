#include "e2edriver.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>
#include <QSize>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

#include <xcb/xcb.h>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>
#include <functional>

namespace e2e {

namespace {

// Ends a child still running: politely first, then for sure.
void end(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
}

// Runs one request to the sandbox's control endpoints and returns the reply body.
QByteArray control(const QNetworkRequest& request, const QByteArray& verb) {
    QNetworkAccessManager nam;
    QNetworkReply* reply = nam.sendCustomRequest(request, verb);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

const QString kCaptureDir = QStringLiteral("/var/spool/cashier-capture");

QJsonObject finish(QNetworkReply* reply) {
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return o;
}

// data.ini as the client reads it.
void useClientCodec(QSettings& ini) {
    ini.setIniCodec(QTextCodec::codecForName("GB2312"));
}

// xdotool types a character the keymap lacks by binding it to a spare key for one press and undoing that at once. A
// client slower than the undo (a busy machine) looks the key up in the map as it is by then and loses the character.
// Such characters are bound to spare keys for good before they are typed, so that typing them changes no keymap.
// Spare keys are taken from the top, away from the one xdotool takes from the bottom.
void bindMissingKeysyms(const QString& text) {
    QVector<xcb_keysym_t> wanted;
    for (const uint c : text.toUcs4()) {
        if (c >= 0x80) {
            wanted << (c <= 0xff ? c : 0x01000000 | c);  // Latin-1 keysyms are the code points; the rest are offset
        }
    }
    if (wanted.isEmpty()) {
        return;
    }
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) {
        xcb_disconnect(conn);
        return;  // then xdotool binds them itself, as before
    }
    const xcb_setup_t* setup = xcb_get_setup(conn);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t* map =
        xcb_get_keyboard_mapping_reply(conn, xcb_get_keyboard_mapping(conn, setup->min_keycode, count), nullptr);
    if (map) {
        const int per = map->keysyms_per_keycode;
        QVector<xcb_keysym_t> syms(xcb_get_keyboard_mapping_keysyms(map),
                                   xcb_get_keyboard_mapping_keysyms(map) + count * per);
        const auto used = [&](int key) {
            return std::any_of(syms.cbegin() + key * per, syms.cbegin() + (key + 1) * per,
                               [](xcb_keysym_t s) { return s != 0; });
        };
        int xdotoolsKey = 0;  // the lowest spare key stays spare: xdotool binds what is left to it
        while (xdotoolsKey < count && used(xdotoolsKey)) {
            ++xdotoolsKey;
        }
        int spare = count - 1;
        for (const xcb_keysym_t k : wanted) {
            if (syms.contains(k)) {
                continue;
            }
            while (spare > xdotoolsKey && used(spare)) {
                --spare;
            }
            if (spare <= xdotoolsKey) {
                break;
            }
            std::fill(syms.begin() + spare * per, syms.begin() + (spare + 1) * per, k);
            xcb_change_keyboard_mapping(conn, 1, xcb_keycode_t(first + spare), uint8_t(per),
                                        syms.constData() + spare * per);
        }
        free(map);
        // A round trip: the server has the new map before xdotool reads it.
        free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    }
    xcb_disconnect(conn);
}

}  // namespace

QString run(const QString& program, const QStringList& args, int* exitCode) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished();
    }
    if (exitCode) {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& args) {
    return run(QStringLiteral("xdotool"), args);
}

QStringList visibleWindows(const QString& name) {
    const QString out = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$')});
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

QStringList clientWindows() {
    const QString out = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--classname"), QStringLiteral("^cashier$")});
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

QString waitForVisible(const QString& name, int timeoutMs) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList ids = visibleWindows(name);
            id = ids.isEmpty() ? QString() : ids.first();
            return !id.isEmpty();
        },
        timeoutMs);
    return id;
}

bool waitForHidden(const QString& name, int timeoutMs) {
    return QTest::qWaitFor([&] { return visibleWindows(name).isEmpty(); }, timeoutMs);
}

int stackingIndex(const QString& window) {
    // xwininfo lists the root's children top of the stack first.
    const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    const QRegularExpression idAtStart(QStringLiteral("^\\s*(0x[0-9a-fA-F]+)\\s"));
    QList<qulonglong> topFirst;
    for (const QString& line : tree.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = idAtStart.match(line);
        if (m.hasMatch()) {
            topFirst.append(m.captured(1).toULongLong(nullptr, 16));
        }
    }
    const int at = topFirst.indexOf(window.toULongLong());
    return at < 0 ? -1 : topFirst.size() - 1 - at;
}

QString waitForVisible(const QString& name, const QSize& size, int timeoutMs) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList ids = visibleWindows(name);
            for (const QString& candidate : ids) {
                if (geometry(candidate).size() == size) {
                    id = candidate;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return id;
}

QRect geometry(const QString& window) {
    const QString out = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QRect r;
    const QStringList lines = out.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (line.startsWith(QLatin1String("X="))) {
            r.moveLeft(value);
        } else if (line.startsWith(QLatin1String("Y="))) {
            r.moveTop(value);
        } else if (line.startsWith(QLatin1String("WIDTH="))) {
            r.setWidth(value);
        } else if (line.startsWith(QLatin1String("HEIGHT="))) {
            r.setHeight(value);
        }
    }
    return r;
}

void pointAt(const QString& window, int x, int y) {
    const QRect r = geometry(window);
    xdotool({QStringLiteral("mousemove"), QString::number(r.x() + x), QString::number(r.y() + y)});
}

void clickAt(const QString& window, int x, int y) {
    pointAt(window, x, y);
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

void typeText(const QString& text, int delayMs) {
    bindMissingKeysyms(text);
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs), text});
}

void key(const QString& keys) {
    xdotool({QStringLiteral("key"), keys});
}

Sandbox::~Sandbox() {
    end(m_process);
}

void Sandbox::start(const QStringList& extraArgs) {
    m_process.start(QStringLiteral(SANDBOX_BIN),
                    QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                                m_dbDir.filePath(QStringLiteral("gateway.db")), QStringLiteral("--quiet")} +
                        extraArgs);
    QVERIFY(m_process.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return m_process.canReadLine(); }, 10000));
    const QString first = QString::fromUtf8(m_process.readLine()).trimmed();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:(\\d+)")).match(first);
    QVERIFY2(m.hasMatch(), qPrintable(first));
    m_port = m.captured(1).toInt();
    QVERIFY(m_port > 0);
}

SerialLine::SerialLine() {
    const QString end = m_dir.filePath(QStringLiteral("end"));
    const QString port = m_dir.filePath(QStringLiteral("port"));
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(QStringLiteral("socat"),
                  {QStringLiteral("pty,raw,echo=0,link=") + end, QStringLiteral("pty,raw,echo=0,link=") + port});
    if (!m_socat.waitForStarted() ||
        !QTest::qWaitFor([&] { return QFile::exists(end) && QFile::exists(port); }, 5000)) {
        return;
    }
    m_end = ::open(QFile::encodeName(end).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    m_hold = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

SerialLine::~SerialLine() {
    for (int fd : {m_end, m_hold}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    end(m_socat);
}

QString SerialLine::device() const {
    return m_dir.filePath(QStringLiteral("port"));
}

bool SerialLine::write(const QByteArray& bytes) {
    return m_end >= 0 && ::write(m_end, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray SerialLine::read(int timeoutMs, int expected) {
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    do {
        char buf[512];
        ssize_t n;
        while (m_end >= 0 && (n = ::read(m_end, buf, sizeof buf)) > 0) {
            out.append(buf, int(n));
        }
        if (expected >= 0 && out.size() >= expected) {
            break;
        }
        QTest::qWait(5);
    } while (!deadline.hasExpired());
    return out;
}

QList<QJsonObject> Sandbox::loggedRequests(const QString& action) const {
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/__sandbox/requests?action=%2").arg(m_port).arg(action));
    const QJsonObject log = QJsonDocument::fromJson(control(QNetworkRequest(url), "GET")).object();
    QList<QJsonObject> out;
    const QJsonArray requests = log.value(QStringLiteral("requests")).toArray();
    for (const QJsonValue& v : requests) {
        out.append(v.toObject());
    }
    return out;
}

void Sandbox::clearLog() const {
    control(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/requests").arg(m_port))), "DELETE");
}

void Sandbox::addFault(const QByteArray& ruleJson) const {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/faults").arg(m_port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkAccessManager nam;
    QNetworkReply* reply = nam.post(request, ruleJson);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
}

void Sandbox::offerVersion(const QString& version) const {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/version").arg(m_port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkAccessManager nam;
    QNetworkReply* reply = nam.post(request, QJsonDocument(QJsonObject{{QStringLiteral("system"), QStringLiteral("pc")},
                                                                       {QStringLiteral("version_code"), version}})
                                                 .toJson());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    reply->deleteLater();
}

QString Sandbox::reportedPrint() const {
    QList<QJsonObject> prints;
    const bool reported = QTest::qWaitFor(
        [&] {
            prints = loggedRequests(QStringLiteral("Account.Print.doprint"));
            return !prints.isEmpty();
        },
        10000);
    [&] {
        QVERIFY2(reported, "no Account.Print.doprint reached the gateway");
        QCOMPARE(prints.size(), 1);
    }();
    if (QTest::currentTestFailed()) {
        return QString();
    }
    const QByteArray body = prints.first().value(QStringLiteral("body")).toString().toUtf8();
    // The body is a form: no=<order>&...
    for (const QByteArray& pair : body.split('&')) {
        if (pair.startsWith("no=")) {
            return QUrl::fromPercentEncoding(pair.mid(3));
        }
    }
    QTest::qFail("the print report names no order", __FILE__, __LINE__);
    return QString();
}

void Sandbox::clearFaults() const {
    control(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/__sandbox/faults").arg(m_port))), "DELETE");
}

Client::Client(int port, const QVariantMap& settings, const ClientFiles& files) {
    QSettings ini(m_dir.filePath(QStringLiteral("data.ini")), QSettings::IniFormat);
    useClientCodec(ini);
    ini.setValue(QStringLiteral("data_config/gatewayUrl"),
                 QStringLiteral("http://127.0.0.1:%1/api.php/Gateway/index").arg(port));
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        ini.setValue(QStringLiteral("data_config/") + it.key(), it.value());
    }
    QVariantMap devices = files.serialDevices;
    if (devices.isEmpty()) {
        m_idleLine = std::make_unique<SerialLine>();
        devices.insert(QStringLiteral("COM9"), m_idleLine->device());
    }
    for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
        ini.setValue(QStringLiteral("serial_devices/") + it.key(), it.value());
    }
    ini.sync();
    if (!files.appConfig.isEmpty()) {
        QFile record(m_dir.filePath(QStringLiteral("app.config")));
        if (record.open(QIODevice::WriteOnly)) {
            record.write(files.appConfig);
        }
    }
    if (!files.environment.isEmpty()) {
        m_process.setEnvironment(QProcess::systemEnvironment() + files.environment);
    }
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(CASHIER_BIN), QStringList());
}

Client::~Client() {
    end(m_process);
}

void Client::killAndRestart() {
    output();
    m_process.kill();  // SIGKILL: no clean-up of any kind, as a crash or a power cut
    m_process.waitForFinished(5000);
    m_log += QStringLiteral("\n--- killed; started again ---\n");
    m_process.start(QStringLiteral(CASHIER_BIN), QStringList());
}

std::unique_ptr<QProcess, void (*)(QProcess*)> Client::startCopy() {
    std::unique_ptr<QProcess, void (*)(QProcess*)> copy(new QProcess, [](QProcess* p) {
        end(*p);
        delete p;
    });
    copy->setEnvironment(m_process.environment());
    copy->setWorkingDirectory(m_dir.path());
    copy->setProcessChannelMode(QProcess::MergedChannels);
    copy->start(QStringLiteral(CASHIER_BIN), QStringList());
    return copy;
}

int Client::waitForExit(int timeoutMs) {
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
        return -1;
    }
    output();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString Client::output() {
    m_log += QString::fromUtf8(m_process.readAll());
    return m_log;
}

bool Client::waitForOutput(const QString& needle, int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return output().count(needle) >= count; }, timeoutMs);
}

QString Client::setting(const QString& key) const {
    QSettings ini(m_dir.filePath(QStringLiteral("data.ini")), QSettings::IniFormat);
    useClientCodec(ini);
    return ini.value(QStringLiteral("data_config/") + key).toString();
}

namespace {
// `log` tells what the client said so far, for the failure messages; `storesArrived` whether the store list is in.
void signIn(const QString& user, const QString& password, const std::function<QString()>& log,
            const std::function<bool()>& storesArrived) {
    const QString login = waitForVisible(QStringLiteral("登录界面"));
    QVERIFY2(!login.isEmpty(), qPrintable(QStringLiteral("the login window did not appear\n") + log()));
    QCOMPARE(geometry(login).size(), QSize(420, 330));
    clickAt(login, 200, 123);  // account field (prefilled with the last account by a client that ran before)
    key(QStringLiteral("ctrl+a"));
    typeText(user);
    clickAt(login, 200, 171);  // password field
    typeText(password);
    key(QStringLiteral("Return"));

    const QString store = waitForVisible(QStringLiteral("Dialog"));
    QVERIFY2(!store.isEmpty(), qPrintable(QStringLiteral("the store dialog did not appear\n") + log()));
    QVERIFY(visibleWindows(QStringLiteral("登录界面")).isEmpty());
    // "确认收款" is off until the store list is in.
    QVERIFY2(QTest::qWaitFor(storesArrived, 10000), qPrintable(QStringLiteral("no store list\n") + log()));
    clickAt(store, 135, 168);  // "确认收款"
}

// The client logs each reply as it handles it; the store list is the one that names "listshop".
std::function<bool()> storeListLogged(Client& client) {
    return [&client] {
        return client.output().contains(QRegularExpression(QStringLiteral("reply from [^\n]*\"listshop\"")));
    };
}
}  // namespace

void signInAndChooseStore(Client& client, const QString& password) {
    signIn(
        QStringLiteral("demo"), password, [&client] { return client.output(); }, storeListLogged(client));
}

void signInAndChooseStoreAs(Client& client, const QString& user, const QString& password) {
    signIn(
        user, password, [&client] { return client.output(); }, storeListLogged(client));
}

void signInOnScreen(const Sandbox& sandbox, const QString& password) {
    // A copy the client started writes its output elsewhere: the gateway's log tells the list was asked for, and
    // the button is pressed again while the dialog stays (it is off until the answer is in).
    signIn(
        QStringLiteral("demo"), password, [] { return QString(); },
        [&sandbox] { return !sandbox.loggedRequests(QStringLiteral("Account.Shop.listShop")).isEmpty(); });
    if (QTest::currentTestFailed()) {
        return;
    }
    for (int tries = 0; tries < 10 && !waitForHidden(QStringLiteral("Dialog"), 1000); ++tries) {
        const QString store = waitForVisible(QStringLiteral("Dialog"), 100);
        if (!store.isEmpty()) {
            clickAt(store, 135, 168);
        }
    }
}

QJsonObject getJson(const QUrl& url) {
    QNetworkAccessManager nam;
    return finish(nam.get(QNetworkRequest(url)));
}

QJsonObject postForm(const QUrl& url, const QByteArray& body) {
    QNetworkAccessManager nam;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    return finish(nam.post(request, body));
}

void deleteAt(const QUrl& url) {
    QNetworkAccessManager nam;
    finish(nam.deleteResource(QNetworkRequest(url)));
}

void keyAmountAndScan(Client& client, const QString& amount, const QString& code) {
    const QString main = waitForVisible(QStringLiteral("柚屿智付"), QSize(800, 600));
    QVERIFY2(!main.isEmpty(), qPrintable(client.output()));
    openPage(main, Page::Amount);
    pointAt(main, 400, 300);
    // The amount page takes only keys more than 50 ms apart, the Return that collects too: keyed at a cashier's
    // pace (xdotool's own pause before the Return; it is the keying, not a wait for the client).
    typeText(amount, 150);
    xdotool({QStringLiteral("sleep"), QStringLiteral("0.15"), QStringLiteral("key"), QStringLiteral("Return")});

    const QString pay = waitForVisible(QStringLiteral("扫码收款"), 5000);
    QVERIFY2(!pay.isEmpty(), qPrintable(client.output()));
    scanCode(pay, code);
}

void scanCode(const QString& payWindow, const QString& code) {
    pointAt(payWindow, 246, 160);
    typeText(code, 5);
    key(QStringLiteral("Return"));
}

QString captureQueue() {
    return qEnvironmentVariableIsSet("CASHIER_CAPTURE_QUEUE") ? qEnvironmentVariable("CASHIER_CAPTURE_QUEUE")
                                                              : QStringLiteral("CashierCapture");
}

bool captureQueueReady() {
    int rc = 0;
    run(QStringLiteral("lpstat"), {QStringLiteral("-p"), captureQueue()}, &rc);
    return rc == 0;
}

QSet<QString> capturedJobs() {
    const QStringList files =
        QDir(kCaptureDir).entryList({QStringLiteral("*.pdf"), QStringLiteral("*.ps")}, QDir::Files);
    return QSet<QString>(files.begin(), files.end());
}

QString jobText(const QString& file) {
    return run(QStringLiteral("pdftotext"), {kCaptureDir + QLatin1Char('/') + file, QStringLiteral("-")})
        .normalized(QString::NormalizationForm_KC);
}

bool printedTextHas(const QString& text, const QString& needle) {
    QString pattern;
    for (const QChar c : needle) {
        const QString literal = QRegularExpression::escape(QString(c));
        pattern += c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF
                       ? QStringLiteral("(?:%1|[\\x{2E80}-\\x{2FDF}])").arg(literal)
                       : literal;
    }
    return QRegularExpression(pattern).match(text).hasMatch();
}

}  // namespace e2e

namespace e2e {

void waitForNextSecond() {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    (void)QTest::qWaitFor([&] { return QDateTime::currentSecsSinceEpoch() > now; }, 2000);
}

void openPage(const QString& main, Page page) {
    clickAt(main, 304 + 103 * int(page), 65);
}

QString openShiftSummary(const QString& main) {
    // A click on the window's bottom edge makes it the active window again, so its shortcuts take the keys.
    openPage(main, Page::Transactions);
    clickAt(main, 746, 192);  // 交接班
    return waitForVisible(QStringLiteral("柚屿岚舟钱包"), QSize(283, 503), 10000);
}

bool haveDisplayAndTools(const QStringList& tools) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QTest::qSkip("needs an X display (the test script starts Xvfb)", __FILE__, __LINE__);
        return false;
    }
    for (const QString& tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            QTest::qFail(qPrintable(tool + QStringLiteral(" is not installed")), __FILE__, __LINE__);
            return false;
        }
    }
    return true;
}

bool waitForQueueDrained(int timeoutMs) {
    // lpstat -o lists the jobs not completed yet.
    return QTest::qWaitFor(
        [] {
            return run(QStringLiteral("lpstat"), {QStringLiteral("-o"), captureQueue()}).isEmpty();
        },
        timeoutMs);
}

}  // namespace e2e

#pragma once

#include "core/till.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QLabel>
#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace testsupport {

// A fresh temporary folder for the test case with a till of its own there (data.ini, app.config and payments.db in
// it), as a program started in that folder has it.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    Till& till() { return *m_till; }
    // A new till in the working directory, as the next start of the program makes it (reading files written by hand).
    void restartTill();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Till> m_till;
    TempWorkDir* m_outer = nullptr;
};

// The till of the test case in progress (the innermost TempWorkDir's), and its restart.
Till& till();
void restartTill();

// Answers the client's message boxes while it lives (handed to the application): records what each said and presses
// OK (unless told otherwise) without showing anything.
struct SeenBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;  // what Return would press
    QMessageBox::StandardButtons clickOnly = QMessageBox::NoButton;     // what no key can press
};

class MessageBoxWatcher : public msgbox::Answerer {
    Q_OBJECT
public:
    MessageBoxWatcher();
    QMessageBox::StandardButton answer(const msgbox::Request& r) override;
    // The button pressed for the next boxes (default QMessageBox::Ok; for questions e.g. QMessageBox::Yes).
    void setAnswer(QMessageBox::StandardButton button) { m_answer = button; }
    // Buttons pressed first, in order, each for the next box that has it; then setAnswer's.
    void queueAnswers(const QList<QMessageBox::StandardButton>& buttons) { m_queued += buttons; }
    QList<SeenBox> boxes() const { return m_boxes; }
    int count() const { return m_boxes.size(); }
    SeenBox last() const { return m_boxes.isEmpty() ? SeenBox{QMessageBox::NoIcon, {}, {}} : m_boxes.last(); }
    void clear() { m_boxes.clear(); }
    // Spins the event loop until `n` boxes were seen or the time is up.
    bool waitForBoxes(int n, int timeoutMs = 5000);

private:
    QList<SeenBox> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    QList<QMessageBox::StandardButton> m_queued;
};

// A real HTTP server on 127.0.0.1 (random port) answering POSTs at /api.php/Gateway/index with a handler of the
// test's choice. Records every body received.
class StubGateway {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        int delayMs = 0;  // sleep before answering
    };
    using Handler = std::function<Response(const QByteArray& body)>;

    StubGateway();
    ~StubGateway();
    void setHandler(Handler h);
    // Answers every request with `json` (status 200).
    void setReply(const QByteArray& json, int status = 200);
    QString url() const;  // http://127.0.0.1:PORT/api.php/Gateway/index
    int port() const { return m_port; }
    QList<QByteArray> bodies() const;
    // The bodies whose "action" is `action`, and how many there are.
    QList<QByteArray> bodiesOf(const char* action) const;
    int countOf(const char* action) const;
    // Spins the event loop until `n` bodies arrived or the time is up.
    bool waitForBodies(int n, int timeoutMs = 5000) const;
    // Spins the event loop until every request received so far has been answered (its handler and delay are over).
    bool waitForAnswers(int timeoutMs = 5000) const;
    // The positive event a test waits on before it says that nothing (more) was sent or taken: one request of the
    // test's own goes out through the client's HTTP path to this stub (it is not among bodies()) and its answer is
    // awaited. A request the code under test started before this call has then reached the stub, and an answer the
    // stub had sent has come back. Call waitForAnswers() first when a delayed answer is what may be taken.
    bool roundTrip(int timeoutMs = 5000) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    Handler m_handler;
    QList<QByteArray> m_bodies;
    int m_answered = 0;
};

// What a test case of a screen that talks to the gateway stands on: a fresh working directory, a stub gateway the
// settings point at, and a watcher answering message boxes. Members go in the reverse order, the directory last.
struct GatewayFixture {
    GatewayFixture();
    TempWorkDir dir;
    StubGateway stub;
    MessageBoxWatcher boxes;
};

// The visible top-level windows of type T: the windows the code under test opened without a parent.
template <class T>
QList<T*> visibleTopLevels() {
    QList<T*> out;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
            out.append(t);
        }
    }
    return out;
}

#ifndef Q_OS_WIN
// (Pseudo-terminals are Linux's: the Windows build leaves out the tests that drive a serial line through them.)
// A pseudo-terminal pair standing in for a serial line: the code under test opens `device()` as its port, the test
// writes and reads at the other end. The device end is kept open too, so the line survives the port being closed
// and opened again.
class PtyLine {
public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;
    bool isOpen() const { return m_end >= 0; }
    QString device() const { return m_device; }
    bool write(const QByteArray& bytes);
    // Bytes written at this end that wait in the line for the port to read them. Bytes just written may not have
    // reached the line yet (the kernel passes them on a moment later): wait for the port to have read something
    // since the write before taking 0 as "all read".
    int unread() const;
    // What arrived at this end within `timeoutMs` (spinning the event loop); returns early once `expected` bytes
    // are there. With `expected` < 0 it waits the whole time.
    QByteArray read(int timeoutMs, int expected = -1);

private:
    int m_end = -1;
    int m_deviceFd = -1;
    QString m_device;
};

// The main window's software port (from the record, COM9 by default) mapped in data.ini to a line nobody writes
// to, so a main window opens its ports without a message box. Made after the TempWorkDir it writes into.
struct IdleSerialLine {
    IdleSerialLine();
    PtyLine line;
};
#endif

// The client's debug output while this lives (it still goes on to the test log): what was posted ("post URL BODY")
// and answered ("reply from URL ..."), known the moment it happens rather than by waiting on the network.
class DebugLog {
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;
    // Lines that start with `start` and contain `part`.
    int count(const QString& start, const QString& part = QString()) const;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text);
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

// Decodes one field of a form body (percent-encoding and "+" as space).
QString formValue(const QByteArray& body, const QString& name);
// The "action" field of a form body.
QByteArray actionOf(const QByteArray& body);

// What a window shows in its label `name`.
inline QString labelText(const QWidget& window, const char* name) {
    const auto* label = window.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QString();
}
// The lines of a window's ticket list (its "scrollAreaWidgetContents"), in order.
inline QList<QLabel*> ticketLabels(const QWidget& window) {
    const auto* list = window.findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents"));
    return list ? list->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly) : QList<QLabel*>();
}

// Closes and deletes the visible top-level windows of type T (result windows and the like a test leaves open).
template <class T>
void closeTopLevels() {
    for (T* w : visibleTopLevels<T>()) {
        w->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Spins the event loop until everything queued before the call (zero timers, posted events, deferred deletes) has
// run: the positive event before saying that a queued step did not happen.
bool waitForQueuedWork(int timeoutMs = 5000);

// For a rule that is itself a duration (a quiet gap, a key window): spins the event loop until a precise timer of
// `ms`, started now, has fired. A timer of the code under test that was due before it has fired by then, however
// busy the machine; a fixed sleep gives no such order.
bool waitPast(int ms);

// The whole content of a file (empty when it cannot be read).
QByteArray fileBytes(const QString& name);
// Where `needles` stop appearing in `html` in order, each searched after the previous one: the index of the first
// one missing, -1 when all are there in that order.
int firstOutOfOrder(const QString& html, const QStringList& needles);
// Bytes from hex digits ("1b51" -> ESC Q).
QByteArray hex(const char* digits);

}  // namespace testsupport

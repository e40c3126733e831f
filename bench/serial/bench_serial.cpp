// The serial amount bridge in the real main window: the time from the last byte of a POS message reaching the
// software port to the amount page's field holding the amount.
//   bench_serial [--runs N] [--baud B] [--no-cr]
// A thread plays the POS on a pseudo-terminal and delivers each byte when a UART at the given rate would (start
// bit, 8 data bits, stop bit), so the line's own transfer time is spent before the clock starts; what is measured
// is the client's part only. With --no-cr the messages end without CR and the bridge waits for its quiet gap.
// Runs offscreen unless a display is chosen.
#include "core/posbridge.h"
#include "core/till.h"
#include "benchutil.h"
#include "collect/formsaomashoukuan.h"
#include "shell/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Writes `message` one byte at a time, each at the moment the UART would have it complete. Returns the moment the
// last byte went in.
Clock::time_point writePaced(int fd, const QByteArray& message, int baud) {
    const auto perByte = std::chrono::nanoseconds(10'000'000'000LL / baud);
    auto due = Clock::now();
    Clock::time_point last;
    for (const char c : message) {
        due += perByte;
        std::this_thread::sleep_until(due);
        last = Clock::now();
        if (::write(fd, &c, 1) != 1) {
            return Clock::time_point();
        }
    }
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"runs", "messages to time", "N", "200"});
    parser.addOption({"baud", "line speed", "B", "9600"});
    parser.addOption({"no-cr", "end messages without CR (the quiet gap ends them)"});
    parser.process(app);
    const int runs = qMax(1, parser.value("runs").toInt());
    const int baud = qMax(300, parser.value("baud").toInt());
    const bool noCr = parser.isSet("no-cr");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    // The till of a client started in that folder.
    Till till(QDir::currentPath());
    int pos = -1;
    int device = -1;
    if (openpty(&pos, &device, nullptr, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    for (int fd : {pos, device}) {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    till.settings().setSerialDevice(QStringLiteral("COM9"), QString::fromLocal8Bit(ttyname(device)));
    till.record().softPortNo = 9;
    till.record().baudRate = baud;
    till.record().showEnabled = 0;

    MainWindow window(till);
    window.show();
    if (!till.pos().softwarePort() || !till.pos().softwarePort()->isOpen()) {
        std::fprintf(stderr, "the software port did not open\n");
        return 1;
    }

    std::atomic<qint64> lastByteNs{0};
    qint64 fieldNs = 0;
    QString expected;
    QLineEdit* field = nullptr;
    auto watch = [&] {
        if (FormSaoMaShouKuan* page = window.amountPage(); page && !field) {
            field = page->findChild<QLineEdit*>(QStringLiteral("input_Edit"));
            QObject::connect(field, &QLineEdit::textChanged, [&](const QString& text) {
                if (text == expected && fieldNs == 0) {
                    fieldNs = Clock::now().time_since_epoch().count();
                }
            });
        }
    };

    QList<double> ms;
    QList<double> transferMs;
    const int warmUp = 5;
    for (int i = 0; i < runs + warmUp; ++i) {
        expected = QString::number(10 + i % 900) + QStringLiteral(".") + QString::number(10 + i % 90);
        QByteArray message = QByteArray("\x1bQA") + expected.toLatin1();
        if (!noCr) {
            message += '\r';
        }
        fieldNs = 0;
        lastByteNs = 0;
        const auto started = Clock::now();
        std::thread pos_thread([&] {
            const Clock::time_point last = writePaced(pos, message, baud);
            lastByteNs = last.time_since_epoch().count();
        });
        const QDeadlineTimer deadline(5000);
        while ((fieldNs == 0 || lastByteNs == 0) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            watch();
            if (field && fieldNs == 0 && field->text() == expected) {
                fieldNs = Clock::now().time_since_epoch().count();  // set before the watcher was connected
            }
        }
        pos_thread.join();
        if (fieldNs == 0) {
            std::fprintf(stderr, "run %d: the amount %s never reached the field\n", i, qPrintable(expected));
            return 1;
        }
        if (i >= warmUp) {
            ms.append((fieldNs - lastByteNs) / 1e6);
            transferMs.append(
                std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(lastByteNs)) - started)
                    .count());
        }
        QThread::msleep(20);
    }
    const bench::Summary s = bench::summarize(ms);
    const bench::Summary t = bench::summarize(transferMs);
    std::printf("serial bridge, %d messages of ESC Q A <amount>%s at %d baud (line transfer %.2f ms median)\n", runs,
                noCr ? " without CR" : " CR", baud, t.median);
    std::printf("last byte -> amount in the field: median %.3f ms, p90 %.3f ms, min %.3f ms, max %.3f ms\n", s.median,
                s.p90, s.min, s.max);
    ::close(pos);
    ::close(device);
    return 0;
}

#pragma once

#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QSerialPort;

// The two serial ports of the amount bridge: naming, opening and who holds them.
namespace serialports {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 9;

// "COM" followed by `n` in decimal.
QString comName(int n);
// The number n of "COMn"; 0 when `name` is not such a name.
int comNumber(const QString& name);
// The device "COMn" stands for: data.ini's group "serial_devices", else the operating system's default.
QString device(const QString& comName);
// Opens `port` on the device of `comName`. No line settings are applied.
bool open(QSerialPort& port, const QString& comName, QIODevice::OpenMode mode);
// The bridge's line: `baud` both ways, 8 data bits, no parity, one stop bit, no flow control.
void applyLineSettings(QSerialPort& port, int baud);
// Opens `comName` in `mode` and closes it again: whether it is usable right now.
bool usable(const QString& comName, QIODevice::OpenMode mode);

// The owner of the bridge's ports (the main window) registers how to open them from the stored settings and how
// to close them. Registering again replaces; `clearOwner` only forgets the owner it names.
void setOwner(QObject* owner, std::function<void()> openPorts, std::function<void()> closePorts);
void clearOwner(QObject* owner);

// A page that needs the ports itself (to test them) takes them from the owner. The owner's ports stay closed
// while any hold has them; when the last hold gives them back they are opened again from the stored settings, so
// leaving such a page without saving never leaves the bridge dead.
class PortHold {
public:
    PortHold() = default;
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;
    ~PortHold();

    // Closes the owner's ports, unless this hold already has them.
    void take();
    // Opens the owner's ports now (the settings were just saved).
    void giveBackNow();
    // Opens them once the event loop is back, unless another hold has taken them by then.
    void giveBackLater();
    bool holding() const { return m_holding; }

private:
    bool m_holding = false;
};

}  // namespace serialports

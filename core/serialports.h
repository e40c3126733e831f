#pragma once

#include <QIODevice>
#include <QString>

class DataConfig;
class QSerialPort;

// The two serial ports of the amount bridge: naming and opening.
namespace serialports {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 9;

// "COM" followed by `n` in decimal.
QString comName(int n);
// The number n of "COMn"; 0 when `name` is not such a name.
int comNumber(const QString& name);
// The device "COMn" stands for: data.ini's group "serial_devices", else the operating system's default.
QString device(DataConfig& settings, const QString& comName);
// Opens `port` on the device of `comName`. No line settings are applied.
bool open(DataConfig& settings, QSerialPort& port, const QString& comName, QIODevice::OpenMode mode);
// The bridge's line: `baud` both ways, 8 data bits, no parity, one stop bit, no flow control.
void applyLineSettings(QSerialPort& port, int baud);
// Opens `comName` in `mode` and closes it again: whether it is usable right now.
bool usable(DataConfig& settings, const QString& comName, QIODevice::OpenMode mode);

}  // namespace serialports

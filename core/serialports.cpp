#include "serialports.h"

#include "app/dataconfig.h"

#include <QRegularExpression>
#include <QSerialPort>

namespace serialports {

QString comName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

int comNumber(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^COM([1-9][0-9]*)$"));
    const QRegularExpressionMatch m = re.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString device(DataConfig& settings, const QString& comName) {
    return settings.serialDevice(comName);
}

bool open(DataConfig& settings, QSerialPort& port, const QString& comName, QIODevice::OpenMode mode) {
    port.setPortName(device(settings, comName));
#ifdef Q_OS_WIN
    // Wine refuses the line settings (GetCommState) on a port opened for writing only, so a display port could not
    // be opened there; Windows takes either. The port is only ever written.
    if (mode == QIODevice::WriteOnly) {
        mode = QIODevice::ReadWrite;
    }
#endif
    return port.open(mode);
}

void applyLineSettings(QSerialPort& port, int baud) {
    port.setBaudRate(baud, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

bool usable(DataConfig& settings, const QString& comName, QIODevice::OpenMode mode) {
    QSerialPort port;
    if (!open(settings, port, comName, mode)) {
        return false;
    }
    port.close();
    return true;
}

}  // namespace serialports

#include "serialports.h"

#include "app/dataconfig.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

namespace serialports {

namespace {

struct Owner {
    QPointer<QObject> object;
    std::function<void()> openPorts;
    std::function<void()> closePorts;
};

Owner& owner() {
    static Owner o;
    return o;
}

// Holds that currently keep the owner's ports closed.
int g_holds = 0;

}  // namespace

QString comName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

int comNumber(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^COM([1-9][0-9]*)$"));
    const QRegularExpressionMatch m = re.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString device(const QString& comName) {
    return dataConfig().serialDevice(comName);
}

bool open(QSerialPort& port, const QString& comName, QIODevice::OpenMode mode) {
    port.setPortName(device(comName));
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

bool usable(const QString& comName, QIODevice::OpenMode mode) {
    QSerialPort port;
    if (!open(port, comName, mode)) {
        return false;
    }
    port.close();
    return true;
}

void setOwner(QObject* object, std::function<void()> openPorts, std::function<void()> closePorts) {
    owner() = Owner{object, std::move(openPorts), std::move(closePorts)};
}

void clearOwner(QObject* object) {
    if (owner().object == object) {
        owner() = Owner{};
    }
}

PortHold::~PortHold() {
    giveBackLater();
}

void PortHold::take() {
    if (m_holding) {
        return;
    }
    m_holding = true;
    if (g_holds++ == 0 && owner().object && owner().closePorts) {
        owner().closePorts();
    }
}

void PortHold::giveBackNow() {
    if (!m_holding) {
        return;
    }
    m_holding = false;
    if (--g_holds == 0 && owner().object && owner().openPorts) {
        owner().openPorts();
    }
}

void PortHold::giveBackLater() {
    if (!m_holding) {
        return;
    }
    m_holding = false;
    if (--g_holds > 0 || !owner().object) {
        return;
    }
    // Not from inside a hide or a destructor: opening may show a message box.
    QTimer::singleShot(0, owner().object, [] {
        if (g_holds == 0 && owner().object && owner().openPorts) {
            owner().openPorts();
        }
    });
}

}  // namespace serialports

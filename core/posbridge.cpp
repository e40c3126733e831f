#include "core/posbridge.h"

#include "app/logcategories.h"
#include "core/serialamount.h"
#include "core/serialports.h"
#include "app/comconfig.h"
#include "app/dataconfig.h"

#include <QDebug>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>

PosBridge::PosBridge(const ComConfig& record, DataConfig& settings, QObject* parent)
    : QObject(parent), m_record(record), m_settings(settings), m_amountReader(new SerialAmountReader(this)) {
    connect(m_amountReader, &SerialAmountReader::amountReady, this, &PosBridge::amountReady);
    connect(m_amountReader, &SerialAmountReader::settled, this, &PosBridge::settled);
}

PosBridge::~PosBridge() {
    close();
}

void PosBridge::start() {
    m_running = true;
    if (m_holds == 0) {
        open();
    }
}

void PosBridge::stop() {
    m_running = false;
    close();
}

void PosBridge::open() {
    close();
    const ComConfig& config = m_record;
    DataConfig& settings = m_settings;
    const QString softName = serialports::comName(config.softPortNo);
    const QString showName = serialports::comName(config.showPortNo);
    m_softPort = std::make_unique<QSerialPort>();
    m_showPort = std::make_unique<QSerialPort>();
    if (serialports::open(settings, *m_softPort, softName, QIODevice::ReadOnly)) {
        serialports::applyLineSettings(*m_softPort, config.baudRate);
        qCInfo(lcSerial) << "software port" << softName << "opened:" << serialports::device(settings, softName)
                         << "baud" << config.baudRate;
        connect(m_softPort.get(), &QSerialPort::readyRead, this, &PosBridge::readData);
    } else {
        qCWarning(lcSerial) << "software port" << softName << "at" << serialports::device(settings, softName)
                            << "cannot be opened:" << m_softPort->errorString();
        emit portFailed(QStringLiteral("软件串口不可用，请重新设置串口"));
    }

    if (config.showEnabled != 0) {
        if (serialports::open(settings, *m_showPort, showName, QIODevice::WriteOnly)) {
            serialports::applyLineSettings(*m_showPort, config.baudRate);
            m_showEnabled = true;
            qCInfo(lcSerial) << "display port" << showName << "opened:" << serialports::device(settings, showName)
                             << "baud" << config.baudRate;
        } else {
            qCWarning(lcSerial) << "display port" << showName << "at" << serialports::device(settings, showName)
                                << "cannot be opened:" << m_showPort->errorString();
            emit portFailed(QStringLiteral("客显串口不可用，请重新设置串口"));
        }
    }
    emit opened();
}

void PosBridge::close() {
    if (!m_softPort && !m_showPort) {
        return;
    }
    if (m_softPort) {
        m_softPort->disconnect(this);
        if (m_softPort->isOpen()) {
            m_softPort->close();
            qCInfo(lcSerial) << "software port closed:" << m_softPort->portName();
        }
        m_softPort.reset();
    }
    if (m_showPort) {
        if (m_showPort->isOpen()) {
            m_showPort->close();
            qCInfo(lcSerial) << "display port closed:" << m_showPort->portName();
        }
        m_showPort.reset();
    }
    m_showEnabled = false;
    // Half a line held from the old stream is not the start of the next one.
    m_amountReader->reset();
    emit closed();
}

bool PosBridge::displayPortOpen() const {
    return m_showPort && m_showPort->isOpen();
}

bool PosBridge::amountArriving() const {
    return m_amountReader->holding();
}

void PosBridge::readData() {
    if (!m_softPort) {
        return;
    }
    const QByteArray chunk = m_softPort->readAll();
    if (chunk.isEmpty()) {
        return;
    }
    qCDebug(lcSerial) << "serial chunk" << chunk.toHex(' ');
    // The display gets every chunk as it came, at once; only the amount waits for its line to be complete.
    if (m_showEnabled && m_showPort) {
        m_showPort->write(chunk);
    }
    m_amountReader->feed(chunk);
}

void PosBridge::showTotal(qint64 fen) {
    write(poledisplay::totalCommand(fen));
}

void PosBridge::clearDisplay() {
    write(poledisplay::clearCommand());
}

void PosBridge::write(const QByteArray& command) {
    // A POS line on its way owns the display: its bytes go there as they are, and what the client wrote would only
    // flash before them.
    if (!m_showEnabled || !m_showPort || m_amountReader->holding()) {
        return;
    }
    qCDebug(lcSerial) << "display command" << command.toHex(' ');
    m_showPort->write(command);
}

PosBridge::Hold::~Hold() {
    giveBackLater();
}

void PosBridge::Hold::take() {
    if (m_holding) {
        return;
    }
    m_holding = true;
    if (m_bridge.m_holds++ == 0 && m_bridge.m_running) {
        m_bridge.close();
    }
}

void PosBridge::Hold::giveBackNow() {
    if (!m_holding) {
        return;
    }
    m_holding = false;
    if (--m_bridge.m_holds == 0 && m_bridge.m_running) {
        m_bridge.open();
    }
}

void PosBridge::Hold::giveBackLater() {
    if (!m_holding) {
        return;
    }
    m_holding = false;
    if (--m_bridge.m_holds > 0 || !m_bridge.m_running) {
        return;
    }
    // Not from inside a hide or a destructor: opening may show a message box.
    QTimer::singleShot(0, &m_bridge, [bridge = &m_bridge] {
        if (bridge->m_holds == 0 && bridge->m_running) {
            bridge->open();
        }
    });
}

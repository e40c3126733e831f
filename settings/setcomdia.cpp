#include "setcomdia.h"

#include "core/serialports.h"
#include "core/till.h"
#include "ui_SetComDia.h"
#include "widgets/messagebox.h"

#include <QComboBox>

namespace {

const char* const kBaudRates[] = {"2400", "4800", "9600", "14400", "19200"};

}  // namespace

int SetComDia::baudIndex(int baudRate) {
    switch (baudRate) {
        case 2400:
            return 0;
        case 4800:
            return 1;
        case 9600:
            return 2;
        case 14400:
            return 3;
        default:
            return 4;
    }
}

SetComDia::SetComDia(Till& till, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetComDia>()), m_till(till), m_hold(till.pos()) {
    ui->setupUi(this);
    const ComConfig& config = m_till.record();
    ui->chbKX->setChecked(config.showEnabled != 0);

    m_softPort = portBox(ui->label);
    m_baud = portBox(ui->label_2);
    m_showPort = portBox(ui->label_4);
    m_softPort->setObjectName(QStringLiteral("softPortBox"));
    m_baud->setObjectName(QStringLiteral("baudBox"));
    m_showPort->setObjectName(QStringLiteral("showPortBox"));

    m_hold.take();

    for (int n = serialports::kFirstPort; n <= serialports::kLastPort; ++n) {
        m_softPort->addItem(serialports::comName(n));
        m_showPort->addItem(serialports::comName(n));
    }
    // A stored number outside COM1..COM9 leaves the first entry chosen rather than none.
    m_softPort->setCurrentIndex(qBound(0, config.softPortNo - 1, m_softPort->count() - 1));
    m_showPort->setCurrentIndex(qBound(0, config.showPortNo - 1, m_showPort->count() - 1));
    for (const char* rate : kBaudRates) {
        m_baud->addItem(QString::fromLatin1(rate));
    }
    m_baud->setCurrentIndex(baudIndex(config.baudRate));

    connect(m_softPort, &QComboBox::currentTextChanged, this, [this] { showDevice(m_softPort, ui->lblSoftDevice); });
    connect(m_showPort, &QComboBox::currentTextChanged, this, [this] { showDevice(m_showPort, ui->lblShowDevice); });
    showDevice(m_softPort, ui->lblSoftDevice);
    showDevice(m_showPort, ui->lblShowDevice);
}

// The hold gives the ports back by itself when the page goes without a save.
SetComDia::~SetComDia() = default;

QComboBox* SetComDia::portBox(QLabel* label) {
    auto* box = new QComboBox(this);
    const QRect at = label->geometry();
    box->setGeometry(at.right() + 10, at.top(), 200, at.height());
    return box;
}

void SetComDia::showDevice(QComboBox* box, QLabel* hint) {
    // Where a port name is not the device itself (Linux), say which device it stands for.
    const QString device = serialports::device(m_till.settings(), box->currentText());
    hint->setText(device == box->currentText() ? QString() : QStringLiteral("对应设备：") + device);
}

void SetComDia::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_hold.take();
}

void SetComDia::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The hub closed (or put another page up): the page is done with the ports.
    m_hold.giveBackLater();
}

void SetComDia::on_btn1_clicked() {
    const bool display = ui->chbKX->isChecked();
    m_hold.take();
    if (serialports::usable(m_till.settings(), m_softPort->currentText(), QIODevice::ReadOnly)) {
        msgbox::information(this, msgbox::Title::Info, QStringLiteral("软件串口可用"));
    } else {
        msgbox::critical(this, msgbox::Title::Info, QStringLiteral("软件串口不可用"));
    }
    if (!display) {
        return;
    }
    if (serialports::usable(m_till.settings(), m_showPort->currentText(), QIODevice::WriteOnly)) {
        msgbox::information(this, msgbox::Title::Info, QStringLiteral("客显串口可用"));
    } else {
        msgbox::critical(this, msgbox::Title::Info, QStringLiteral("客显串口不可用"));
    }
}

void SetComDia::on_btn2_clicked() {
    // The record changes only when the save goes through: a refused save leaves memory and file as they were.
    ComConfig candidate = m_till.record();
    candidate.showEnabled = ui->chbKX->isChecked() ? 1 : 0;
    m_hold.take();
    if (!serialports::usable(m_till.settings(), m_softPort->currentText(), QIODevice::ReadOnly)) {
        msgbox::critical(this, msgbox::Title::Info, QStringLiteral("软件串口不可用"));
        return;
    }
    if (candidate.showEnabled) {
        if (serialports::usable(m_till.settings(), m_showPort->currentText(), QIODevice::WriteOnly)) {
            msgbox::information(this, msgbox::Title::Info, QStringLiteral("客显串口可用"));
        } else {
            msgbox::critical(this, msgbox::Title::Info, QStringLiteral("客显串口不可用"));
        }
    }
    candidate.baudRate = m_baud->currentText().toInt();
    candidate.softPortNo = serialports::comNumber(m_softPort->currentText());
    candidate.showPortNo = serialports::comNumber(m_showPort->currentText());

    if (!m_till.saveRecord(candidate)) {
        msgbox::critical(this, msgbox::Title::Info, QStringLiteral("系统错误，请稍候重试"));
        return;
    }
    m_hold.giveBackNow();
    msgbox::information(this, msgbox::Title::Info, QStringLiteral("设置成功"));
}

#include "mainwindow.h"

#include "app/logcategories.h"

#include "widgets/draghelper.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/ticketform.h"
#include "app/comconfig.h"
#include "app/usersession.h"
#include "floatwidget.h"
#include "gateway/gatewayclock.h"
#include "platform/platform.h"
#include "payments/journal.h"
#include "productinfo.h"
#include "refunds/refundsuredialog.h"
#include "serialamount.h"
#include "settings/serialports.h"
#include "startup_windows.h"
#include "transactions/formjiaoyicx.h"
#include "transactions/formshangjiaxinxi.h"
#include "transactions/mytrade.h"
#include "traymenu.h"
#include "traystage.h"
#include "ui_MainWindow.h"
#include "widgets/messagebox.h"
#include "widgets/popupkeyboard.h"
#include "widgets/windowstyle.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>

namespace {
MainWindow* g_mainWindow = nullptr;

// Refunds an earlier run left without an answer come back when their order's refund is opened; the cashier is told
// of them at sign-in, so none waits unseen. Those another running copy of the client is sending are its own.
void tellOfOpenRefunds(QWidget* parent) {
    journal::Journal* j = journal::instance();
    if (!j) {
        return;
    }
    QString error;
    QList<journal::Attempt> open = j->open(QString(), &error);
    if (!error.isEmpty()) {
        return;  // a refund itself says why nothing can be sent
    }
    open.erase(std::remove_if(open.begin(), open.end(), [j](const journal::Attempt& a) { return j->heldElsewhere(a); }),
               open.end());
    const QMap<int, Shop> shops = userSession().shopsByIndex();
    const QString text = journal::openRefundsNotice(open, userSession().shopId(), [&shops](const QString& id) {
        for (const Shop& shop : shops) {
            if (shop.shopid == id) {
                return shopDisplayText(shop).trimmed();
            }
        }
        return QString();
    });
    if (!text.isEmpty()) {
        msgbox::warning(parent, msgbox::Title::Tip, text);
    }
}
}  // namespace

MainWindow* mainWindow() {
    return g_mainWindow;
}

MainWindow* showMainWindow() {
    if (!g_mainWindow) {
        auto* window = new MainWindow;
        // Lives for the whole run; released once the event loop has ended so nothing is left behind at exit.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit,
                         [guard = QPointer<MainWindow>(window)] { delete guard; });
        // A charge an earlier run left open (the client was killed, the power went) is looked up before anything
        // else, once the window it comes in front of is up and its start's boxes are answered (a stay-on-top payment
        // window would cover them and take their keys); a clock that is off and open refunds are told of first.
        window->afterStartupBoxes([window] {
            const QString clock = gateway::clockWarning(gateway::gatewayClockOffsetMs());
            if (!clock.isEmpty()) {
                msgbox::warning(window, msgbox::Title::Tip, clock);
            }
            tellOfOpenRefunds(window);
            FormCS::bringBackOpenCharge();
        });
    }
    MainWindow* window = g_mainWindow;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool MainWindow::pageAvailable(int id) {
    return id >= AmountPage && id <= TicketPage;
}

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::MainWindow>()), m_openSettings(settingsOpener()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(product::name());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move((screen->geometry().width() - width()) / 2, 5);
    }
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    m_group->addButton(ui->smsk_btn, AmountPage);
    m_group->addButton(ui->jycx_btn, QueryPage);
    m_group->addButton(ui->sjxx_btn, MerchantPage);
    m_group->addButton(ui->pwgl_btn, TicketPage);
    const auto buttons = m_group->buttons();
    for (QAbstractButton* button : buttons) {
        connect(button, &QAbstractButton::clicked, this, &MainWindow::onRadioBtnClick);
        // A page whose window is not part of this version cannot be chosen.
        button->setEnabled(pageAvailable(m_group->id(button)));
    }
    ui->pwgl_btn->setChecked(true);

    auto* menu = new TrayMenu(this);
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(menu);
    m_tray->setToolTip(product::workToolTip());
    m_tray->setIcon(windowstyle::trayIcon());
    connect(menu, &TrayMenu::showWindow, this, &MainWindow::showWindow);
    connect(menu, &TrayMenu::quitWindow, this, &MainWindow::closeWindow);
    connect(menu, &TrayMenu::doSetting, this, m_openSettings);
    connect(m_tray, &QSystemTrayIcon::activated, this, &MainWindow::onActivated);
    m_tray->show();

    m_float = new FloatWidget(this, m_openSettings);

    showPage(TicketPage);

    ui->min_btn->setShortcut(QKeySequence(Qt::Key_Escape));
    ui->smsk_btn->setShortcut(QKeySequence(Qt::Key_F1));
    ui->jycx_btn->setShortcut(QKeySequence(Qt::Key_F2));
    ui->sjxx_btn->setShortcut(QKeySequence(Qt::Key_F3));

    DragHelper::install(this);
    registerHotKey();

    if (!g_mainWindow) {
        g_mainWindow = this;
    }

    m_amountReader = new SerialAmountReader(this);
    connect(m_amountReader, &SerialAmountReader::amountReady, this, &MainWindow::onSerialAmount);
    connect(m_amountReader, &SerialAmountReader::settled, this, &MainWindow::onSerialSettled);
    serialports::setOwner(
        this, [this] { initSerialPorts(); }, [this] { closeSerialPorts(); });
    initSerialPorts();
    m_constructed = true;
    QTimer::singleShot(0, this, &MainWindow::runStartupSteps);
}

void MainWindow::afterStartupBoxes(std::function<void()> step) {
    if (m_startupDone) {
        step();
        return;
    }
    m_startupSteps.append(std::move(step));
}

void MainWindow::runStartupSteps() {
    // Each box waits for its answer before the next step runs.
    while (!m_startupSteps.isEmpty()) {
        const std::function<void()> step = m_startupSteps.takeFirst();
        step();
    }
    m_startupDone = true;
}

MainWindow::~MainWindow() {
    serialports::clearOwner(this);
    closeSerialPorts();
    if (g_mainWindow == this) {
        g_mainWindow = nullptr;
    }
}

void MainWindow::initSerialPorts() {
    closeSerialPorts();
    const ComConfig& config = comConfig();
    const QString softName = serialports::comName(config.softPortNo);
    const QString showName = serialports::comName(config.showPortNo);
    m_softPort = std::make_unique<QSerialPort>();
    m_showPort = std::make_unique<QSerialPort>();
    if (serialports::open(*m_softPort, softName, QIODevice::ReadOnly)) {
        serialports::applyLineSettings(*m_softPort, config.baudRate);
        qCInfo(lcSerial) << "software port" << softName << "opened:" << serialports::device(softName) << "baud"
                         << config.baudRate;
        connect(m_softPort.get(), &QSerialPort::readyRead, this, &MainWindow::ReadData);
    } else {
        qCWarning(lcSerial) << "software port" << softName << "at" << serialports::device(softName)
                            << "cannot be opened:" << m_softPort->errorString();
        reportPortFailure(QStringLiteral("软件串口不可用，请重新设置串口"));
    }

    if (config.showEnabled == 0) {
        return;
    }
    if (serialports::open(*m_showPort, showName, QIODevice::WriteOnly)) {
        serialports::applyLineSettings(*m_showPort, config.baudRate);
        m_showEnabled = true;
        qCInfo(lcSerial) << "display port" << showName << "opened:" << serialports::device(showName) << "baud"
                         << config.baudRate;
    } else {
        qCWarning(lcSerial) << "display port" << showName << "at" << serialports::device(showName)
                            << "cannot be opened:" << m_showPort->errorString();
        reportPortFailure(QStringLiteral("客显串口不可用，请重新设置串口"));
    }
}

void MainWindow::closeSerialPorts() {
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
    if (m_amountReader) {
        m_amountReader->reset();
    }
    m_collectOnArrival = false;
}

void MainWindow::reportPortFailure(const QString& text) {
    if (m_constructed) {
        msgbox::critical(this, msgbox::Title::Info, text);
        return;
    }
    m_startupSteps.append([this, text] { msgbox::critical(this, msgbox::Title::Info, text); });
}

void MainWindow::ReadData() {
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

void MainWindow::onSerialAmount(const QString& text) {
    qCInfo(lcSerial).noquote() << "amount from the POS:" << text;
    if (!amountPage()) {
        // The window is not brought to the front; the page radio button follows so the row shows the page.
        showPage(AmountPage);
        ui->smsk_btn->setChecked(true);
    }
    FormSaoMaShouKuan* page = amountPage();
    if (!page) {
        return;
    }
    page->setAmountText(text);
    if (m_collectOnArrival) {
        m_collectOnArrival = false;
        m_pendingAmount = false;
        page->startCollect();
        return;
    }
    m_pendingAmount = true;
}

void MainWindow::onSerialSettled() {
    // What was arriving carried no amount (a lamp or a clear after the total): the amount before it is the one due.
    if (!m_collectOnArrival) {
        return;
    }
    m_collectOnArrival = false;
    FormSaoMaShouKuan* page = amountPage();
    if (m_pendingAmount && page) {
        m_pendingAmount = false;
        page->startCollect();
    }
}

bool MainWindow::displayPortOpen() const {
    return m_showPort && m_showPort->isOpen();
}

bool MainWindow::amountArriving() const {
    return m_amountReader && m_amountReader->holding();
}

CustomerDisplay MainWindow::customerDisplay() {
    QPointer<MainWindow> self(this);
    CustomerDisplay display;
    display.showTotal = [self](qint64 fen) {
        if (self) {
            self->writeToDisplay(poledisplay::totalCommand(fen));
        }
    };
    display.clear = [self] {
        if (self) {
            self->writeToDisplay(poledisplay::clearCommand());
        }
    };
    return display;
}

void MainWindow::writeToDisplay(const QByteArray& command) {
    // A POS line on its way owns the display: its bytes go there as they are, and what the client wrote would only
    // flash before them.
    if (!m_showEnabled || !m_showPort || (m_amountReader && m_amountReader->holding())) {
        return;
    }
    qCDebug(lcSerial) << "display command" << command.toHex(' ');
    m_showPort->write(command);
}

void MainWindow::registerHotKey() {
    m_hotKey = new platform::GlobalHotKey(this);
    connect(m_hotKey, &platform::GlobalHotKey::activated, this, &MainWindow::showWindow);
    if (m_hotKey->registerAltZ()) {
        qDebug() << "Register Hot Key success.";
        return;
    }
    // Without a desktop session (tests) there is no key to hold, so no other copy to warn about.
    if (!platform::hasDesktop()) {
        qDebug() << "Register Hot Key skipped: no desktop session.";
        return;
    }
    qDebug() << "Register Hot Key fail.";
    // Shown once the window is up, so the warning sits in front of it rather than before it.
    m_startupSteps.append([this] {
        msgbox::warning(this, msgbox::Title::Info,
                        QStringLiteral("您好，您已经登录一个柚屿岚舟钱包PC端账户，请注意。"));
    });
}

bool MainWindow::hotKeyRegistered() const {
    return m_hotKey && m_hotKey->isRegistered();
}

FormSaoMaShouKuan* MainWindow::amountPage() const {
    return m_currentPage == AmountPage ? qobject_cast<FormSaoMaShouKuan*>(m_page.data()) : nullptr;
}

FormJiaoYiCX* MainWindow::queryPage() const {
    return m_currentPage == QueryPage ? qobject_cast<FormJiaoYiCX*>(m_page.data()) : nullptr;
}

FormJiaoYiCX* MainWindow::createQueryPage() {
    auto* page = new FormJiaoYiCX(this);
    // 交接班: a new summary each time, modal but not blocking, released when closed.
    page->setShiftSummaryOpener([] { myTrade::openNonBlocking(); });
    // The refund dialog belongs to its own folder; the page gets it as a function that runs the dialog modally for
    // the row's transaction, and queries its page again when it returns.
    page->setRefundOpener(
        [openSettings = m_openSettings](const Order& order) { RefundSureDialog::runForOrder(order, openSettings); });
    return page;
}

TicketForm* MainWindow::ticketPage() const {
    return m_currentPage == TicketPage ? qobject_cast<TicketForm*>(m_page.data()) : nullptr;
}

void MainWindow::showPage(int id) {
    if (m_page) {
        // The page may be the sender of the click that got us here: let it finish before it goes.
        m_page->hide();
        m_page->deleteLater();
        m_page = nullptr;
    }
    switch (id) {
        case AmountPage: {
            auto* page = new FormSaoMaShouKuan(this);
            page->setCustomerDisplay(customerDisplay());
            m_page = page;
            break;
        }
        case QueryPage:
            m_page = createQueryPage();
            break;
        case MerchantPage:
            m_page = new FormShangJiaXinXi(this, m_openSettings);
            break;
        case TicketPage: {
            auto* page = new TicketForm(this);
            page->setCustomerDisplay(customerDisplay());
            m_page = page;
            break;
        }
        default:
            break;
    }
    if (m_page) {
        m_page->setGeometry(ui->page_area->geometry());
        m_page->show();
    }
    m_currentPage = id;
}

void MainWindow::onRadioBtnClick() {
    const int id = m_group->checkedId();
    if (id == m_currentPage || id < 0) {
        return;
    }
    showPage(id);
}

void MainWindow::showWindow() {
    showNormal();
    raise();
    activateWindow();
    m_float->hide();
    FormSaoMaShouKuan* page = amountPage();
    if (FormCS* pay = FormCS::inProgress()) {
        // A charge whose money may be moving comes first, in front of the window that was just raised.
        pay->bringBack();
    } else if (FormCS* open = page ? page->paymentWindow() : nullptr; open && open->isVisible()) {
        // The charge already open stays in front of the window that was just raised.
        popupkeyboard::take(open);
    }
    const bool arriving = amountArriving();
    if (!m_pendingAmount && !arriving) {
        return;
    }
    if (arriving) {
        // A line is still coming in: collecting now would charge the amount before it.
        m_collectOnArrival = true;
        return;
    }
    m_pendingAmount = false;
    if (page) {
        page->startCollect();
    }
}

void MainWindow::closeWindow() {
    close();
}

void MainWindow::onActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        showWindow();
    }
}

void MainWindow::on_min_btn_clicked() {
    traystage::hideToTray(this, m_tray, m_float);
}

void MainWindow::on_close_btn_clicked() {
    traystage::hideToTray(this, m_tray, m_float);
}

void MainWindow::on_set_btn_clicked() {
    m_openSettings(SettingsPage::OtherSettings);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    FormSaoMaShouKuan* amount = amountPage();
    if (!amount) {
        event->ignore();
        return;
    }
    using Slot = void (FormSaoMaShouKuan::*)();
    static const Slot digits[10] = {
        &FormSaoMaShouKuan::on_zer_btn_clicked, &FormSaoMaShouKuan::on_one_btn_clicked,
        &FormSaoMaShouKuan::on_two_btn_clicked, &FormSaoMaShouKuan::on_thr_btn_clicked,
        &FormSaoMaShouKuan::on_fou_btn_clicked, &FormSaoMaShouKuan::on_fiv_btn_clicked,
        &FormSaoMaShouKuan::on_six_btn_clicked, &FormSaoMaShouKuan::on_sev_btn_clicked,
        &FormSaoMaShouKuan::on_eig_btn_clicked, &FormSaoMaShouKuan::on_nine_btn_clicked,
    };
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        (amount->*digits[key - Qt::Key_0])();
    } else if (key == Qt::Key_Period) {
        amount->on_dot_btn_clicked();
    } else if (key == Qt::Key_Backspace) {
        amount->on_back_btn_clicked();
    } else {
        event->ignore();
    }
}

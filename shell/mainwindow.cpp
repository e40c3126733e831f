#include "mainwindow.h"

#include "app/logcategories.h"

#include "widgets/draghelper.h"
#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/ticketform.h"
#include "core/posbridge.h"
#include "core/chargeservice.h"
#include "core/refundservice.h"
#include "core/signinservice.h"
#include "core/till.h"
#include "floatwidget.h"
#include "platform/platform.h"
#include "productinfo.h"
#include "refunds/refundsuredialog.h"
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
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>

void MainWindow::lookBackAfterSignIn() {
    // A charge an earlier run left open (the client was killed, the power went) is looked up before anything
    // else, once the window it comes in front of is up and its start's boxes are answered (a stay-on-top payment
    // window would cover them and take their keys); a clock that is off and open refunds are told of first.
    afterStartupBoxes([this] {
        const QString clock = m_till.signIn().clockWarning();
        if (!clock.isEmpty()) {
            msgbox::warning(this, msgbox::Title::Tip, clock);
        }
        // Refunds an earlier run left without an answer come back when their order's refund is opened; the
        // cashier is told of them at sign-in, so none waits unseen.
        const QString refunds = m_till.refunds().openRefundsNotice();
        if (!refunds.isEmpty()) {
            msgbox::warning(this, msgbox::Title::Tip, refunds);
        }
        const QString paid = m_till.charges().paidUnshownNotice();
        if (!paid.isEmpty()) {
            msgbox::information(this, msgbox::Title::Tip, paid);
        }
        FormCS::bringBackOpenCharge(m_till);
    });
}

bool MainWindow::pageAvailable(int id) {
    return id >= AmountPage && id <= TicketPage;
}

MainWindow::MainWindow(Till& till, SettingsOpener openSettings, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::MainWindow>()),
      m_till(till),
      m_openSettings(openSettings ? std::move(openSettings) : SettingsOpener([](SettingsPage) {})) {
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

    auto* menu = new TrayMenu(m_till.settings(), this);
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(menu);
    m_tray->setToolTip(product::workToolTip());
    m_tray->setIcon(windowstyle::trayIcon());
    connect(menu, &TrayMenu::showWindow, this, &MainWindow::showWindow);
    connect(menu, &TrayMenu::quitWindow, this, &MainWindow::closeWindow);
    connect(menu, &TrayMenu::doSetting, this, m_openSettings);
    connect(m_tray, &QSystemTrayIcon::activated, this, &MainWindow::onActivated);
    m_tray->show();

    m_float = new FloatWidget(m_till.settings(), this, m_openSettings);

    showPage(TicketPage);

    ui->min_btn->setShortcut(QKeySequence(Qt::Key_Escape));
    ui->smsk_btn->setShortcut(QKeySequence(Qt::Key_F1));
    ui->jycx_btn->setShortcut(QKeySequence(Qt::Key_F2));
    ui->sjxx_btn->setShortcut(QKeySequence(Qt::Key_F3));

    DragHelper::install(this);
    registerHotKey();

    PosBridge& pos = m_till.pos();
    connect(&pos, &PosBridge::amountReady, this, &MainWindow::onSerialAmount);
    connect(&pos, &PosBridge::settled, this, &MainWindow::onSerialSettled);
    connect(&pos, &PosBridge::portFailed, this, &MainWindow::reportPortFailure);
    // Whatever was arriving is gone with the ports.
    connect(&pos, &PosBridge::closed, this, [this] { m_collectOnArrival = false; });
    pos.start();
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
    m_till.pos().disconnect(this);
    m_till.pos().stop();
}

void MainWindow::reportPortFailure(const QString& text) {
    if (m_constructed) {
        msgbox::critical(this, msgbox::Title::Info, text);
        return;
    }
    m_startupSteps.append([this, text] { msgbox::critical(this, msgbox::Title::Info, text); });
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

CustomerDisplay MainWindow::customerDisplay() {
    PosBridge* pos = &m_till.pos();
    CustomerDisplay display;
    display.showTotal = [pos](qint64 fen) { pos->showTotal(fen); };
    display.clear = [pos] { pos->clearDisplay(); };
    return display;
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
    auto* page = new FormJiaoYiCX(m_till, this);
    // 交接班: a new summary each time, modal but not blocking, released when closed.
    page->setShiftSummaryOpener([&till = m_till] { myTrade::openNonBlocking(till); });
    // The refund dialog belongs to its own folder; the page gets it as a function that runs the dialog modally for
    // the row's transaction, and queries its page again when it returns.
    page->setRefundOpener([&till = m_till, openSettings = m_openSettings](const Order& order) {
        RefundSureDialog::runForOrder(till, order, openSettings);
    });
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
            auto* page = new FormSaoMaShouKuan(m_till, this);
            page->setCustomerDisplay(customerDisplay());
            m_page = page;
            break;
        }
        case QueryPage:
            m_page = createQueryPage();
            break;
        case MerchantPage:
            m_page = new FormShangJiaXinXi(m_till.session(), this, m_openSettings);
            break;
        case TicketPage: {
            auto* page = new TicketForm(m_till, this);
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
    if (FormCS* pay = FormCS::inProgress(m_till)) {
        // A charge whose money may be moving comes first, in front of the window that was just raised.
        pay->bringBack();
    } else if (FormCS* open = page ? page->paymentWindow() : nullptr; open && open->isVisible()) {
        // The charge already open stays in front of the window that was just raised.
        popupkeyboard::take(open);
    }
    const bool arriving = m_till.pos().amountArriving();
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

void MainWindow::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the tray's 退出 while money may be moving: the cashier says so on purpose.
    const QString moving = m_till.charges().moneyMoving();
    if (!moving.isEmpty() &&
        msgbox::ask(this, QMessageBox::Warning, msgbox::Title::Quit, moving,
                    {{QMessageBox::Yes, QStringLiteral("仍然退出")}, {QMessageBox::Cancel, QStringLiteral("返回")}},
                    QMessageBox::Cancel, QMessageBox::Yes) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
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

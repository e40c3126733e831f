#include "mainwindow.h"

#include "widgets/draghelper.h"
#include "collect/formsaomashoukuan.h"
#include "collect/ticketform.h"
#include "floatwidget.h"
#include "platform/platform.h"
#include "productinfo.h"
#include "settings/settingmain.h"
#include "traymenu.h"
#include "traystage.h"
#include "ui_MainWindow.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace {

MainWindow* g_mainWindow = nullptr;

QString radioStyle(const char* image) {
    const QString name = QString::fromLatin1(image);
    return QStringLiteral(
               "QRadioButton::indicator{width:85px;height:100px;} "
               "QRadioButton::indicator:unchecked{image: url(:/images/%1.png);} "
               "QRadioButton::indicator:checked{image: url(:/images/%1_pressed.png);}")
        .arg(name);
}

QString buttonStyle(const char* normal, const char* pressed) {
    return windowstyle::imageButton(QString::fromLatin1(normal) + QStringLiteral(".png"),
                                    QString::fromLatin1(pressed) + QStringLiteral(".png"));
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
    }
    MainWindow* window = g_mainWindow;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool MainWindow::pageAvailable(int id) {
    return id == AmountPage || id == TicketPage;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::MainWindow>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        QStringLiteral("#MainWindow{border-image: url(:/images/main_bg.png);} QWidget:focus{outline: none;}"));
    setWindowTitle(product::name());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move((screen->geometry().width() - width()) / 2, 5);
    }
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->smsk_btn->setStyleSheet(radioStyle("smsk"));
    ui->jycx_btn->setStyleSheet(radioStyle("jycx"));
    ui->sjxx_btn->setStyleSheet(radioStyle("sjxx"));
    ui->pwgl_btn->setStyleSheet(radioStyle("pwgl"));
    ui->close_btn->setStyleSheet(buttonStyle("close_nor", "close_pre"));
    ui->min_btn->setStyleSheet(buttonStyle("min_nor", "min_pre"));
    ui->set_btn->setStyleSheet(buttonStyle("set_btn_nor", "set_btn_pre"));

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
    m_tray->setIcon(QIcon(QStringLiteral(":/icon/setup.ico")));
    connect(menu, &TrayMenu::showWindow, this, &MainWindow::showWindow);
    connect(menu, &TrayMenu::quitWindow, this, &MainWindow::closeWindow);
    connect(menu, &TrayMenu::doSetting, this, [](int type) {
        if (SettingMain* hub = settingHub()) {
            hub->open(type);
        }
    });
    connect(m_tray, &QSystemTrayIcon::activated, this, &MainWindow::onActivated);
    m_tray->show();

    m_float = new FloatWidget(this);

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
}

MainWindow::~MainWindow() {
    if (g_mainWindow == this) {
        g_mainWindow = nullptr;
    }
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
    QTimer::singleShot(0, this, [this] {
        msgbox::warning(this, QStringLiteral("提示信息"),
                        QStringLiteral("您好，您已经登录一个柚屿岚舟钱包PC端账户，请注意。"));
    });
}

bool MainWindow::hotKeyRegistered() const {
    return m_hotKey && m_hotKey->isRegistered();
}

FormSaoMaShouKuan* MainWindow::amountPage() const {
    return m_currentPage == AmountPage ? qobject_cast<FormSaoMaShouKuan*>(m_page.data()) : nullptr;
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
        case AmountPage:
            m_page = new FormSaoMaShouKuan(this);
            break;
        case TicketPage:
            m_page = new TicketForm(this);
            break;
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
    if (SettingMain* hub = settingHub()) {
        hub->open(2);
    }
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

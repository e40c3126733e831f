#include "loginwidget.h"

#include "app/dataconfig.h"
#include "app/version.h"
#include "collect/selectshopdialog.h"
#include "core/till.h"
#include "floatwidget.h"
#include "platform/platform.h"
#include "productinfo.h"
#include "traymenu.h"
#include "traystage.h"
#include "ui_LoginWidget.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegExpValidator>
#include <QScreen>
#include <QKeyEvent>
#include <QUrl>

LoginWidget::LoginWidget(Till& till, SettingsOpener openSettings, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::LoginWidget>()), m_till(till), m_openSettings(std::move(openSettings)) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    windowstyle::centreOnScreen(this);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->login_btn->setShortcut(QKeySequence(Qt::Key_Enter));
    ui->min_btn->setShortcut(QKeySequence(Qt::Key_Escape));
    ui->login_user->setFocus();
    ui->login_user->setPlaceholderText(QStringLiteral("账号:"));
    ui->login_password->setPlaceholderText(QStringLiteral("密码:"));
    const QRegExp lettersAndDigits(QStringLiteral("^[A-Za-z0-9]+$"), Qt::CaseSensitive);
    ui->login_user->setValidator(new QRegExpValidator(lettersAndDigits, ui->login_user));
    ui->login_password->setValidator(new QRegExpValidator(lettersAndDigits, ui->login_password));
    ui->footer_label->setText(product::makerLine());

    // Only the account comes back; the stored password value is a digest and never goes into a field.
    const QStringList saved = m_till.settings().savedLogin();
    if (saved.value(2) != QLatin1String("true")) {
        ui->login_user->setText(saved.value(0));
        ui->Rem_PassWord->setChecked(false);
    }
    ui->Rem_PassWord->hide();

    // Passwords and payment codes cross the shop's network unencrypted: the cashier and the log say so at start.
    // Without a gateway at all the same line says that nothing can be signed in to (the login button says where to
    // set one).
    const QString gateway = m_till.gatewayUrl();
    const bool cleartext = m_till.signIn().gatewayInTheClear();
    ui->lblInsecure->setVisible(cleartext || gateway.isEmpty());
    if (gateway.isEmpty()) {
        ui->lblInsecure->setText(QStringLiteral("⚠ 未设置网关地址，无法登录"));
        qWarning().noquote() << "no gateway address: neither data.ini nor" << m_till.settings().siteFile()
                             << "names one (gatewayUrl)";
    }
    if (cleartext) {
        qWarning().noquote() << "gateway" << gateway
                             << "is plain http to another computer: passwords and payment codes travel unencrypted";
    }

    setUpTrayStage();

    // Return anywhere in the window is the login button, empty fields included: the fields' validator keeps an empty
    // field from reporting Return, and the cashier would see nothing at all.
    ui->login_user->installEventFilter(this);
    ui->login_password->installEventFilter(this);

    DragHelper::install(this);

    // Without a gateway there is no one to ask; the line above says why.
    if (m_till.settings().checkUpdata() == 0 && !gateway.isEmpty()) {
        startVersionCheck();
    }
}

void LoginWidget::setUpTrayStage() {
    auto* menu = new TrayMenu(m_till.settings(), this);
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(menu);
    m_tray->setToolTip(product::loginToolTip());
    m_tray->setIcon(windowstyle::trayIcon());
    connect(menu, &TrayMenu::showWindow, this, &LoginWidget::showWindow);
    connect(menu, &TrayMenu::quitWindow, this, &LoginWidget::closeWindow);
    connect(menu, &TrayMenu::doSetting, this, [this](SettingsPage page) {
        if (m_openSettings) {
            m_openSettings(page);
        }
    });
    connect(m_tray, &QSystemTrayIcon::activated, this, &LoginWidget::onActivated);
    m_tray->show();
    m_float = new FloatWidget(m_till.settings(), this, m_openSettings);
}

void LoginWidget::startVersionCheck() {
    m_till.signIn().checkVersion(this, [this](const auto& offer) { slot_requestVersionFinished(offer); });
}

void LoginWidget::slot_requestVersionFinished(const replies::Read<replies::VersionOffer>& offer) {
    if (!offer.status.answered()) {
        msgbox::critical(this, msgbox::Title::VersionCheck, QStringLiteral("版本检测更新失败,请检查网络设置"));
        return;
    }
    if (!offer.ok() || offer.value.versionCode.isEmpty()) {
        return;
    }
    // Compared number by number, so a version 10 is offered after version 3 (as text it would sort before it).
    if (!isNewerVersion(offer.value.versionCode, product::version())) {
        return;
    }
    const auto pressed = msgbox::ask(
        this, QMessageBox::Warning, msgbox::Title::VersionUpdate, QStringLiteral("检测到新版本，是否更新到新版本?"),
        {{QMessageBox::Ok, QStringLiteral("更新")}, {QMessageBox::Cancel, QStringLiteral("不更新")}});
    if (pressed != QMessageBox::Ok) {
        return;
    }
    const QString installer = platform::installerPath();
    if (!QFileInfo(installer).isExecutable()) {
        msgbox::warning(this, msgbox::Title::VersionUpdate,
                        QStringLiteral("未找到更新程序：%1\n请联系服务商获取新版本。").arg(installer));
        return;
    }
    // The installer runs to its end while the client waits; its exit code carries no meaning here. It is told the
    // version to fetch (it checks that it is a version before using it).
    if (QProcess::execute(installer, {offer.value.versionCode}) == -2) {
        msgbox::critical(this, msgbox::Title::VersionUpdate,
                         QStringLiteral("更新程序无法启动：%1\n请联系服务商获取新版本。").arg(installer));
    }
}

LoginWidget::~LoginWidget() = default;

bool LoginWidget::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui->login_user || watched == ui->login_password) && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return) {
        ui->login_btn->click();  // does nothing while a login is out (the button is disabled then)
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LoginWidget::setWaiting(bool waiting) {
    ui->login_user->setEnabled(!waiting);
    ui->login_password->setEnabled(!waiting);
    ui->login_btn->setEnabled(!waiting);
    windowstyle::setLookState(ui->login_btn, "waiting", waiting);
}

void LoginWidget::on_login_btn_clicked() {
    const QString user = ui->login_user->text();
    const QString pwd = ui->login_password->text();
    if (user.isEmpty() && pwd.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("账号和密码不能为空"));
        return;
    }
    if (user.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("账号不能为空"));
        return;
    }
    if (pwd.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("密码不能为空"));
        return;
    }
    if (m_till.gatewayUrl().isEmpty()) {
        msgbox::critical(
            this, msgbox::Title::Tip,
            QStringLiteral("未设置网关地址，无法登录。\n\n请在以下文件的 [data_config] 中写入 gatewayUrl=网关地址"
                           "（Windows 上也可重新运行安装程序填写网关地址）：\n%1")
                .arg(QDir::toNativeSeparators(m_till.settings().siteFile())));
        return;
    }
    setWaiting(true);
    ui->Rem_PassWord->setEnabled(false);

    // A sign-in that goes through fills the session and saves the account (the password as a digest) first.
    m_till.signIn().signIn(this, user, pwd, rememberFlag,
                           [this](const replies::Read<replies::Login>& login) { slot_requestFinished(login); });
}

void LoginWidget::slot_requestFinished(const replies::Read<replies::Login>& login) {
    // Anything but an envelope is the gateway's or the network's fault, never the cashier's password.
    if (!login.status.answered()) {
        setWaiting(false);
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("登录失败,请查看网络连接"));
        return;
    }
    // A refusal, and a "success" without a token to work with, stay here: nothing after this window could use it.
    if (!login.ok()) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("账号/密码错误"));
        setWaiting(false);
        return;
    }

    // The typed password is not needed any more; keep it out of the hidden window.
    ui->login_password->clear();
    hide();

    if (m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
    }
    if (m_float) {
        m_float->hide();
        m_float->deleteLater();
    }

    m_shopDialog = std::make_unique<SelectShopDialog>(m_till.stores());
    connect(m_shopDialog.get(), &SelectShopDialog::shopConfirmed, this, &LoginWidget::shopConfirmed);
    connect(m_shopDialog.get(), &SelectShopDialog::backToLogin, this, &LoginWidget::returnFromShopDialog);
    m_shopDialog->show();
}

void LoginWidget::returnFromShopDialog() {
    // The dialog is still in its own handler: it goes once that has returned.
    if (m_shopDialog) {
        m_shopDialog.release()->deleteLater();
    }
    // Nothing of the abandoned sign-in stays: a new login fills the session and the ticket kinds afresh.
    m_till.endSession();
    setUpTrayStage();
    setWaiting(false);
    showWindow();
}

void LoginWidget::on_min_btn_clicked() {
    traystage::hideToTray(this, m_tray, m_float);
}

void LoginWidget::on_close_btn_clicked() {
    traystage::hideToTray(this, m_tray, m_float);
}

void LoginWidget::showWindow() {
    showNormal();
    raise();
    activateWindow();
    if (m_float) {
        m_float->hide();
    }
}

void LoginWidget::closeWindow() {
    close();
}

void LoginWidget::onActivated(QSystemTrayIcon::ActivationReason reason) {
    // At the login stage only the tray menu's "显示主面板" brings the window back.
    Q_UNUSED(reason);
}

void LoginWidget::on_Rem_PassWord_clicked() {
    rememberFlag = ui->Rem_PassWord->isChecked();
}

void LoginWidget::on_CmdLinkButton_clicked() {
    QDesktopServices::openUrl(QUrl(m_till.settings().vendorUrl()));
}

#include "settingmain.h"

#include "widgets/draghelper.h"
#include "settingspages.h"
#include "ui_SettingMain.h"
#include "widgets/windowstyle.h"

SettingMain::SettingMain(Till& till, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SettingMain>()), m_till(till) {
    ui->setupUi(this);
    m_buttons = {ui->btn1, ui->btn2, ui->btn3, ui->btn4, ui->btn5, ui->btn6, ui->btn7};
    setWindowTitle(QStringLiteral("柚屿智付"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    DragHelper::install(this);
}

SettingMain::~SettingMain() = default;

void SettingMain::open(SettingsPage page) {
    showPage(page);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    exec();
}

void SettingMain::showPage(std::optional<SettingsPage> page) {
    for (int i = 0; i < m_buttons.size(); ++i) {
        windowstyle::setLookState(m_buttons.at(i), "active", page && *page == kSettingsPages[i]);
    }
    // A page is always built afresh from the stored settings, so unsaved edits of a closed page are dropped.
    delete m_page;
    m_page = page ? settingspages::create(m_till, *page, ui->frame) : nullptr;
    if (m_page) {
        m_page->show();
    }
}

void SettingMain::on_close_btn_clicked() {
    hide();
}

void SettingMain::on_btn1_clicked() {
    showPage(SettingsPage::SerialPorts);
}
void SettingMain::on_btn2_clicked() {
    showPage(SettingsPage::OtherSettings);
}
void SettingMain::on_btn3_clicked() {
    showPage(SettingsPage::LoginPassword);
}
void SettingMain::on_btn4_clicked() {
    showPage(SettingsPage::RefundPasswordChange);
}
void SettingMain::on_btn5_clicked() {
    showPage(SettingsPage::RefundPasswordReset);
}
void SettingMain::on_btn6_clicked() {
    showPage(SettingsPage::Collection);
}
void SettingMain::on_btn7_clicked() {
    showPage(SettingsPage::Refunds);
}

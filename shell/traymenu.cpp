#include "traymenu.h"

#include "aboutdialog.h"
#include "app/dataconfig.h"
#include "widgets/logfolder.h"

#include <QAction>
#include <QDesktopServices>
#include <QUrl>

namespace {
// Entry text and settings page, top to bottom.
struct SettingEntry {
    const char* text;
    SettingsPage page;
};
constexpr SettingEntry kSettingEntries[] = {
    {"客显设置", SettingsPage::SerialPorts},
    {"其他设置", SettingsPage::OtherSettings},
    {"密码设置", SettingsPage::LoginPassword},
    {"退款密码修改", SettingsPage::RefundPasswordChange},
    {"设置忘记退款密码", SettingsPage::RefundPasswordReset},
    {"收款设置", SettingsPage::Collection},
    {"退款设置", SettingsPage::Refunds},
};
}  // namespace

TrayMenu::TrayMenu(DataConfig& settings, QWidget* parent) : QMenu(parent), m_settings(settings) {
    // The page travels in a signal, which queued connections and signal spies can only carry once it is registered.
    qRegisterMetaType<SettingsPage>();

    for (const SettingEntry& entry : kSettingEntries) {
        auto* action = new QAction(QString::fromUtf8(entry.text), this);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, page = entry.page] { emit doSetting(page); });
    }
    addSeparator();

    auto* show = new QAction(QStringLiteral("显示主面板"), this);
    addAction(show);
    connect(show, &QAction::triggered, this, &TrayMenu::showWindow);
    addSeparator();

    auto* home = new QAction(QStringLiteral("官方网站"), this);
    addAction(home);
    connect(home, &QAction::triggered, this, &TrayMenu::home_action_triggered);
    auto* about = new QAction(QStringLiteral("关于我们"), this);
    addAction(about);
    connect(about, &QAction::triggered, this, &TrayMenu::about_action_triggered);
    auto* logs = new QAction(QStringLiteral("打开日志文件夹"), this);
    addAction(logs);
    connect(logs, &QAction::triggered, this, [this] { openLogFolder(nullptr, m_settings.logFolder()); });
    addSeparator();

    auto* quit = new QAction(QStringLiteral("退出"), this);
    addAction(quit);
    connect(quit, &QAction::triggered, this, &TrayMenu::quitWindow);
}

TrayMenu::~TrayMenu() = default;

QAction* TrayMenu::actionByText(const QString& text) const {
    const auto list = actions();
    for (QAction* action : list) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

void TrayMenu::home_action_triggered() {
    QDesktopServices::openUrl(QUrl(m_settings.vendorUrl()));
}

void TrayMenu::about_action_triggered() {
    // No owner: the box is application-modal and goes away when closed.
    AboutDialog dialog;
    dialog.exec();
}

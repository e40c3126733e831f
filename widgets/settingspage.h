#pragma once

#include <QMetaType>
#include <functional>
#include <optional>

// The settings hub's pages. The values are the page numbers the hub has always used: its buttons from top to
// bottom, and what a number given from outside (a slot called by number) means.
enum class SettingsPage {
    SerialPorts = 1,
    OtherSettings = 2,
    LoginPassword = 3,
    RefundPasswordChange = 4,
    RefundPasswordReset = 5,
    Collection = 6,
    Refunds = 7,
};
Q_DECLARE_METATYPE(SettingsPage)

// Every page, in button order.
constexpr SettingsPage kSettingsPages[] = {
    SettingsPage::SerialPorts,
    SettingsPage::OtherSettings,
    SettingsPage::LoginPassword,
    SettingsPage::RefundPasswordChange,
    SettingsPage::RefundPasswordReset,
    SettingsPage::Collection,
    SettingsPage::Refunds,
};

constexpr int settingsPageNumber(SettingsPage page) {
    return static_cast<int>(page);
}

// Opens the settings hub modally on a page and returns when the hub is closed. The shell makes it and hands it to
// every window that opens a page, so no window below the shell needs to know the hub.
using SettingsOpener = std::function<void(SettingsPage)>;

#pragma once

#include "widgets/settingspage.h"

#include <QDialog>
#include <QList>
#include <memory>

namespace Ui {
class SettingMain;
}
class QPushButton;
class Till;

// The one settings window: seven page buttons and a frame that holds exactly one page at a time.
// Created hidden at start-up; the shell opens it on a page for every window that asks (see SettingsOpener).
class SettingMain : public QDialog {
    Q_OBJECT
public:
    explicit SettingMain(Till& till, QWidget* parent = nullptr);
    ~SettingMain() override;

    // Shows the page and runs the hub modally; returns when the hub is hidden again.
    void open(SettingsPage page);

    // The page on show (null when none).
    QWidget* currentPage() const { return m_page; }

public slots:
    void on_close_btn_clicked();
    void on_btn1_clicked();
    void on_btn2_clicked();
    void on_btn3_clicked();
    void on_btn4_clicked();
    void on_btn5_clicked();
    void on_btn6_clicked();
    void on_btn7_clicked();

private:
    void showPage(std::optional<SettingsPage> page);

    std::unique_ptr<Ui::SettingMain> ui;
    Till& m_till;
    QList<QPushButton*> m_buttons;  // in the order of kSettingsPages
    QWidget* m_page = nullptr;
};

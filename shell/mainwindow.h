#pragma once

#include "collect/customerdisplay.h"
#include "widgets/settingspage.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
namespace platform {
class GlobalHotKey;
}
class QButtonGroup;
class Till;
class FloatWidget;
class FormJiaoYiCX;
class FormSaoMaShouKuan;
class TicketForm;

// The working window of a session: one page at a time under four image radio buttons, the working stage's tray
// icon and floating icon, and Alt+Z to bring it to the front. While it runs the till's serial bridge is on: the amount
// a POS writes to its customer display is put into the amount page.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Page ids of the radio buttons.
    enum Page { AmountPage = 0, QueryPage = 1, MerchantPage = 2, TicketPage = 3 };

    // `openSettings` opens the settings hub on a page (for the settings button, the tray menu and the pages).
    explicit MainWindow(Till& till, SettingsOpener openSettings = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    int currentPageIndex() const { return m_currentPage; }
    // The page on screen (null when its window has not been written yet).
    QWidget* currentPage() const { return m_page; }
    FormSaoMaShouKuan* amountPage() const;
    FormJiaoYiCX* queryPage() const;
    TicketForm* ticketPage() const;
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    FloatWidget* floatWidget() const { return m_float; }
    bool hotKeyRegistered() const;

    // An amount came from the POS and has not been collected by bringing the window up yet.
    bool amountPending() const { return m_pendingAmount; }

    // Whether the page of `id` can be built in this version.
    static bool pageAvailable(int id);

    // Runs `step` once the boxes of the window's start (ports that cannot be opened, the hot key) are answered, in
    // the order given: one thing in front of the cashier at a time.
    void afterStartupBoxes(std::function<void()> step);
    // After sign-in, once the start's boxes are answered: what an earlier run left open is told of and looked up.
    void lookBackAfterSignIn();

public slots:
    void onRadioBtnClick();
    void showWindow();
    void closeWindow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void on_min_btn_clicked();
    void on_close_btn_clicked();
    void on_set_btn_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void registerHotKey();
    void showPage(int id);
    void onSerialAmount(const QString& text);
    void onSerialSettled();
    // What the collect pages show keyed amounts with: the bridge's display port, in the POS's own command set.
    CustomerDisplay customerDisplay();
    void reportPortFailure(const QString& text);
    void runStartupSteps();
    FormJiaoYiCX* createQueryPage();

    std::unique_ptr<Ui::MainWindow> ui;
    Till& m_till;
    // Opens the settings hub; handed on to every page and menu of this window that opens a settings page.
    SettingsOpener m_openSettings;
    QButtonGroup* m_group = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    FloatWidget* m_float = nullptr;
    platform::GlobalHotKey* m_hotKey = nullptr;
    QPointer<QWidget> m_page;
    int m_currentPage = TicketPage;

    bool m_pendingAmount = false;
    // The window came up while a line was still arriving: collect when it is complete, not the amount before it (or
    // the pending one, when the line turns out to carry no amount).
    bool m_collectOnArrival = false;
    // Until the constructor has finished, port failures are shown once the event loop runs, in front of the window.
    bool m_constructed = false;
    // The start's boxes, then what comes after them (open refunds, a charge brought back), one after another.
    QList<std::function<void()>> m_startupSteps;
    bool m_startupDone = false;
};

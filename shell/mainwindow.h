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
class QSerialPort;
class SerialAmountReader;
class FloatWidget;
class FormJiaoYiCX;
class FormSaoMaShouKuan;
class TicketForm;

// The working window of a session: one page at a time under four image radio buttons, the working stage's tray
// icon and floating icon, and Alt+Z to bring it to the front. It also hosts the serial amount bridge: the amount a
// POS writes to its customer display is put into the amount page, and the bytes go on to the real display.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Page ids of the radio buttons.
    enum Page { AmountPage = 0, QueryPage = 1, MerchantPage = 2, TicketPage = 3 };

    explicit MainWindow(QWidget* parent = nullptr);
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

    // The serial bridge: (re)opens both ports from the stored settings, and closes them.
    void initSerialPorts();
    void closeSerialPorts();
    QSerialPort* softwarePort() const { return m_softPort.get(); }
    bool displayEnabled() const { return m_showEnabled; }
    // An amount came from the POS and has not been collected by bringing the window up yet.
    bool amountPending() const { return m_pendingAmount; }
    // Whether the customer display's port is open (it is not while 有客显 is off).
    bool displayPortOpen() const;
    // A line from the POS has begun and not ended.
    bool amountArriving() const;

    // Whether the page of `id` can be built in this version.
    static bool pageAvailable(int id);

    // Runs `step` once the boxes of the window's start (ports that cannot be opened, the hot key) are answered, in
    // the order given: one thing in front of the cashier at a time.
    void afterStartupBoxes(std::function<void()> step);

public slots:
    void onRadioBtnClick();
    void ReadData();
    void showWindow();
    void closeWindow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void on_min_btn_clicked();
    void on_close_btn_clicked();
    void on_set_btn_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void registerHotKey();
    void showPage(int id);
    void onSerialAmount(const QString& text);
    void onSerialSettled();
    // What the collect pages show keyed amounts with: the display port, in the POS's own command set.
    CustomerDisplay customerDisplay();
    void writeToDisplay(const QByteArray& command);
    void reportPortFailure(const QString& text);
    void runStartupSteps();
    FormJiaoYiCX* createQueryPage();

    std::unique_ptr<Ui::MainWindow> ui;
    // Opens the settings hub; handed on to every page and menu of this window that opens a settings page.
    SettingsOpener m_openSettings;
    QButtonGroup* m_group = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    FloatWidget* m_float = nullptr;
    platform::GlobalHotKey* m_hotKey = nullptr;
    QPointer<QWidget> m_page;
    int m_currentPage = TicketPage;

    std::unique_ptr<QSerialPort> m_softPort;
    std::unique_ptr<QSerialPort> m_showPort;
    bool m_showEnabled = false;
    bool m_pendingAmount = false;
    // The window came up while a line was still arriving: collect when it is complete, not the amount before it (or
    // the pending one, when the line turns out to carry no amount).
    bool m_collectOnArrival = false;
    SerialAmountReader* m_amountReader = nullptr;
    // Until the constructor has finished, port failures are shown once the event loop runs, in front of the window.
    bool m_constructed = false;
    // The start's boxes, then what comes after them (open refunds, a charge brought back), one after another.
    QList<std::function<void()>> m_startupSteps;
    bool m_startupDone = false;
};

// The one main window of the process: null until created.
MainWindow* mainWindow();
// Shows the main window, creating it on first use; it is released when the application quits.
MainWindow* showMainWindow();

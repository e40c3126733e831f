#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSerialPort;
class SerialAmountReader;
class ComConfig;
class DataConfig;

// The serial amount bridge. A POS program that drives a customer pole display writes to the software port: every
// byte goes on at once, unchanged, to the real display on the display port (with 有客显 ticked), and each line that
// shows an amount is handed on. The till's own display commands (a keyed amount, a paid sale) go out on the same
// port. The ports are the till's while a main window runs (start() to stop()); a settings page that tests ports holds
// them meanwhile (Hold).
class PosBridge : public QObject {
    Q_OBJECT
public:
    // The ports are the ones `record` (app.config as this run uses it) names, found through `settings` (data.ini).
    PosBridge(const ComConfig& record, DataConfig& settings, QObject* parent = nullptr);
    ~PosBridge() override;

    // The main window is up: the ports are opened from the till's record (unless a page holds them), and again
    // whenever the last hold gives them back. stop() closes them for good.
    void start();
    void stop();
    // (Re)opens both ports from the record now; a port that cannot be opened is told through portFailed().
    void open();
    void close();

    QSerialPort* softwarePort() const { return m_softPort.get(); }
    bool displayEnabled() const { return m_showEnabled; }
    // Whether the customer display's port is open (it is not while 有客显 is off).
    bool displayPortOpen() const;
    // A line from the POS has begun and not ended.
    bool amountArriving() const;

    // The till's own display commands, in the POS's command set: a keyed amount about to be collected, a paid sale.
    void showTotal(qint64 fen);
    void clearDisplay();

    // A page that needs the ports itself (to test them) takes them. The bridge's ports stay closed while any hold
    // has them; when the last hold gives them back they are opened again from the stored record, so leaving such a
    // page without saving never leaves the bridge dead.
    class Hold {
    public:
        explicit Hold(PosBridge& bridge) : m_bridge(bridge) {}
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold();

        // Closes the bridge's ports, unless this hold already has them.
        void take();
        // Opens the bridge's ports now (the record was just saved).
        void giveBackNow();
        // Opens them once the event loop is back, unless another hold has taken them by then.
        void giveBackLater();
        bool holding() const { return m_holding; }

    private:
        PosBridge& m_bridge;
        bool m_holding = false;
    };

signals:
    // The last number of a line the POS wrote.
    void amountReady(const QString& text);
    // Nothing is on its way any more, with or without an amount.
    void settled();
    // The ports were opened from the record (a port that failed was told through portFailed first).
    void opened();
    // The ports were closed: what a line held may have carried is gone with them.
    void closed();
    // A port could not be opened: the cashier's words for it.
    void portFailed(const QString& text);

private:
    void readData();
    void write(const QByteArray& command);

    const ComConfig& m_record;
    DataConfig& m_settings;
    std::unique_ptr<QSerialPort> m_softPort;
    std::unique_ptr<QSerialPort> m_showPort;
    SerialAmountReader* m_amountReader = nullptr;
    bool m_showEnabled = false;
    bool m_running = false;
    int m_holds = 0;
};

#pragma once

#include "core/posbridge.h"

#include <QWidget>
#include <memory>

namespace Ui {
class SetComDia;
}
class QComboBox;
class QLabel;
class Till;

// Settings page "客显设置": the port the POS writes to, the baud rate, and whether a customer display is attached
// and on which port. While the page is on screen the main window's ports are closed so the page can try them;
// they are opened again after a save, or from the stored settings when the page goes away unsaved.
class SetComDia : public QWidget {
    Q_OBJECT
public:
    SetComDia(Till& till, QWidget* parent);
    ~SetComDia() override;

    QComboBox* softPortBox() const { return m_softPort; }
    QComboBox* baudBox() const { return m_baud; }
    QComboBox* showPortBox() const { return m_showPort; }

    // The baud box's entry for a stored rate: one of the five, anything else the last ("19200").
    static int baudIndex(int baudRate);

public slots:
    void on_btn1_clicked();
    void on_btn2_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QComboBox* portBox(QLabel* label);
    void showDevice(QComboBox* box, QLabel* hint);

    std::unique_ptr<Ui::SetComDia> ui;
    Till& m_till;
    QComboBox* m_softPort = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_showPort = nullptr;
    PosBridge::Hold m_hold;
};

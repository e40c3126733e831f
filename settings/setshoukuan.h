#pragma once

#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class SetShouKuan;
}
class QComboBox;

// Settings page "收款设置": how the fen of a collected amount are handled (kept, rounded to the jiao, dropped).
// The choice is the cents mode of "app.config"; the next payment-code window applies it.
class SetShouKuan : public QWidget {
    Q_OBJECT
public:
    SetShouKuan(Till& till, QWidget* parent);
    ~SetShouKuan() override;

    QComboBox* comboBox() const { return m_combo; }

public slots:
    void on_btn2_clicked();

private:
    std::unique_ptr<Ui::SetShouKuan> ui;
    Till& m_till;
    QComboBox* m_combo = nullptr;
};

#pragma once

#include <QWidget>
#include <memory>

class Till;
namespace Ui {
class setReundForm;
}

// Settings page "退款设置": the refund function, the goods return with refunds, and the word for the items (hand
// tags, rooms...). Windows opened afterwards read the new values.
class setReundForm : public QWidget {
    Q_OBJECT
public:
    setReundForm(Till& till, QWidget* parent);
    ~setReundForm() override;

public slots:
    void on_btnOk_clicked();

private:
    std::unique_ptr<Ui::setReundForm> ui;
    Till& m_till;
};

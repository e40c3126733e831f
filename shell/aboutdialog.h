#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutDialog;
}

// The small modal box with the product title and version.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};

#pragma once

#include "widgets/settingspage.h"

#include <QWidget>
#include <memory>

class UserSession;
namespace Ui {
class FormShangJiaXinXi;
}

// The merchant page of the main window: who is signed in, for which merchant, company and store, and the two
// password pages of the settings hub. Everything shown comes from the session, read once when the page is built.
class FormShangJiaXinXi : public QWidget {
    Q_OBJECT
public:
    FormShangJiaXinXi(const UserSession& session, QWidget* parent, SettingsOpener openHub);
    ~FormShangJiaXinXi() override;

public slots:
    void on_btnPwd_clicked();
    void on_btnRefundPwd_clicked();

private:
    std::unique_ptr<Ui::FormShangJiaXinXi> ui;
    SettingsOpener m_openHub;
};

#pragma once

#include <QWidget>
#include <memory>

class DataConfig;
class UserSession;
namespace Ui {
class SetDataDialog;
}

// Settings page "其他设置": the session's main store, the receipt printer (or none), autostart and the version
// check at start. One button applies all four.
class SetDataDialog : public QWidget {
    Q_OBJECT
public:
    // The store chosen here is the session's at once; the rest is kept in data.ini.
    SetDataDialog(UserSession& session, DataConfig& settings, QWidget* parent);
    ~SetDataDialog() override;

public slots:
    void on_pushButton_sure_clicked();
    void on_pushButton_logs_clicked();

private:
    std::unique_ptr<Ui::SetDataDialog> ui;
    UserSession& m_session;
    DataConfig& m_settings;
};

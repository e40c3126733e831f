#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class FormShangJiaXinXi;
}

// The merchant page of the main window: who is signed in, for which merchant, company and store, and the two
// password pages of the settings hub. Everything shown comes from the session, read once when the page is built.
class FormShangJiaXinXi : public QWidget {
    Q_OBJECT
public:
    // Opens the settings hub modally on a page number and returns when it is closed.
    using HubOpener = std::function<void(int page)>;

    static constexpr int kLoginPasswordPage = 3;
    static constexpr int kRefundPasswordPage = 4;

    FormShangJiaXinXi(QWidget* parent, HubOpener openHub);
    ~FormShangJiaXinXi() override;

public slots:
    void on_btnPwd_clicked();
    void on_btnRefundPwd_clicked();

private:
    std::unique_ptr<Ui::FormShangJiaXinXi> ui;
    HubOpener m_openHub;
};

#include "transactions/formshangjiaxinxi.h"

#include "app/usersession.h"
#include "ui_FormShangJiaXinXi.h"
#include "widgets/windowstyle.h"

FormShangJiaXinXi::FormShangJiaXinXi(const UserSession& session, QWidget* parent, SettingsOpener openHub)
    : QWidget(parent), ui(std::make_unique<Ui::FormShangJiaXinXi>()), m_openHub(std::move(openHub)) {
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setParent(parent);
    move(10, 135);

    windowstyle::plainLabels({ui->sy_label, ui->sh_label, ui->gs_label, ui->md_label});
    ui->sy_label->setText(session.rname());
    ui->sh_label->setText(session.uname());
    ui->gs_label->setText(session.company());
    ui->md_label->setText(shopDisplayText(session.currentShop()));
}

FormShangJiaXinXi::~FormShangJiaXinXi() = default;

void FormShangJiaXinXi::on_btnPwd_clicked() {
    if (m_openHub) {
        m_openHub(SettingsPage::LoginPassword);
    }
}

void FormShangJiaXinXi::on_btnRefundPwd_clicked() {
    if (m_openHub) {
        m_openHub(SettingsPage::RefundPasswordChange);
    }
}

#include "selectshopdialog.h"

#include "app/dataconfig.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "app/usersession.h"
#include "ui_SelectShopDialog.h"

#include <QDebug>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

SelectShopDialog::SelectShopDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::SelectShopDialog>()) {
    ui->setupUi(this);
    windowstyle::centreOnScreen(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->pushButton->setShortcut(QKeySequence(Qt::Key_Enter));
    DragHelper::install(this);
    requestShops();
}

SelectShopDialog::~SelectShopDialog() = default;

void SelectShopDialog::requestShops() {
    // One request at a time: "重新获取" comes back with the reply.
    ui->pushButton_2->setEnabled(false);
    ui->pushButton->setEnabled(false);
    gateway::post(this, requests::listShop(userSession().token()),
                  [this](const gateway::Reply& r) { slot_requestFinished(r); });
}

void SelectShopDialog::slot_requestFinished(const gateway::Reply& reply) {
    const replies::Read<QList<Shop>> shops = replies::shopList(reply);
    if (shops.status.transport != gateway::Reply::Envelope) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("获取门店失败"));
    } else if (shops.value.isEmpty()) {
        // Also a refused or unreadable list: either way there is no store to choose (the close control leads back).
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("你还没有门店!"));
    } else {
        for (int i = 0; i < shops.value.size(); ++i) {
            userSession().insertShop(i, shops.value.at(i));
            ui->comboBox->addItem(shopDisplayText(shops.value.at(i)));
        }
        ui->comboBox->setCurrentText(dataConfig().shopName());
    }
    ui->pushButton_2->setEnabled(true);
    ui->pushButton->setEnabled(!userSession().shopId().isEmpty());
}

void SelectShopDialog::on_comboBox_currentIndexChanged(int index) {
    // A missing index (-1 when the box is cleared) reads as an empty store.
    userSession().setCurrentShop(userSession().shopAt(index));
    ui->pushButton->setEnabled(!userSession().shopId().isEmpty());
}

void SelectShopDialog::on_pushButton_clicked() {
    // The main window never opens without a store: a charge would go out with an empty "shopid".
    if (userSession().shopId().isEmpty()) {
        return;
    }
    hide();
    dataConfig().setShopName(ui->comboBox->currentText());
    emit shopConfirmed();
}

void SelectShopDialog::on_pushButton_2_clicked() {
    ui->pushButton_2->setEnabled(false);
    ui->comboBox->clear();
    requestShops();
}

void SelectShopDialog::on_close_btn_clicked() {
    hide();
    emit backToLogin();
}

void SelectShopDialog::reject() {}

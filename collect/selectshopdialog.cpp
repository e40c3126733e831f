#include "selectshopdialog.h"

#include "app/dataconfig.h"
#include "draghelper.h"
#include "gateway/gatewayurl.h"
#include "gateway/httpfun.h"
#include "gateway/reply.h"
#include "gateway/requests.h"
#include "shell/usersession.h"
#include "ui_SelectShopDialog.h"

#include <QDebug>
#include <QGuiApplication>
#include <QJsonArray>
#include <QMessageBox>
#include <QScreen>

QString SelectShopDialog::buttonStyle() {
    return QStringLiteral(
        "QPushButton{border-image: url(:/images/select_shop_nor.png);color:#EAEAEA;} "
        "QPushButton:pressed{border-image: url(:/images/select_shop_pre.png);}");
}

SelectShopDialog::SelectShopDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::SelectShopDialog>()) {
    ui->setupUi(this);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move((desk.width() - width()) / 2, (desk.height() - height()) / 2);
    }
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->pushButton->setStyleSheet(buttonStyle());
    ui->pushButton_2->setStyleSheet(buttonStyle());
    ui->pushButton->setShortcut(QKeySequence(Qt::Key_Enter));
    DragHelper::install(this);
    requestShops();
}

SelectShopDialog::~SelectShopDialog() = default;

void SelectShopDialog::requestShops() {
    // One request at a time: "重新获取" comes back with the reply.
    ui->pushButton_2->setEnabled(false);
    auto* http = new HttpFun;
    connect(http, &HttpFun::signal_requestFinished, this, &SelectShopDialog::slot_requestFinished);
    http->post(GatewayUrl(), requests::listShop(userSession().token()).bytes());
}

void SelectShopDialog::slot_requestFinished(bool bSuccess, const QByteArray& byteResult) {
    qDebug().noquote() << "listShop result" << byteResult;
    if (!bSuccess) {
        QMessageBox::critical(this, QStringLiteral("错误提示"), QStringLiteral("获取门店失败"));
    } else {
        const QJsonArray listshop = reply::arr(reply::content(byteResult), "listshop");
        if (listshop.isEmpty()) {
            QMessageBox::critical(this, QStringLiteral("错误提示"), QStringLiteral("你还没有门店!"));
        } else {
            for (int i = 0; i < listshop.size(); ++i) {
                const QJsonObject shop = listshop.at(i).toObject();
                userSession().insertShop(i, shop);
                ui->comboBox->addItem(shopDisplayText(shop));
            }
            ui->comboBox->setCurrentText(dataConfig().shopName());
        }
    }
    ui->pushButton_2->setEnabled(true);
}

void SelectShopDialog::on_comboBox_currentIndexChanged(int index) {
    // A missing index (-1 when the box is cleared) reads as an empty store.
    userSession().setCurrentShop(userSession().shopAt(index));
}

void SelectShopDialog::on_pushButton_clicked() {
    hide();
    dataConfig().setShopName(ui->comboBox->currentText());
    emit shopConfirmed();
}

void SelectShopDialog::on_pushButton_2_clicked() {
    ui->pushButton_2->setEnabled(false);
    ui->comboBox->clear();
    requestShops();
}

void SelectShopDialog::reject() {}

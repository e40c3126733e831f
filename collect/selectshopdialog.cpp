#include "selectshopdialog.h"

#include "app/usersession.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"
#include "ui_SelectShopDialog.h"

#include <QDebug>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

SelectShopDialog::SelectShopDialog(StoreService& stores, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SelectShopDialog>()), m_stores(stores) {
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
    m_stores.list(this, [this](const replies::Read<QList<Shop>>& shops) { slot_requestFinished(shops); });
}

void SelectShopDialog::slot_requestFinished(const replies::Read<QList<Shop>>& shops) {
    if (!shops.status.answered()) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("获取门店失败"));
    } else if (shops.value.isEmpty()) {
        // Also a refused or unreadable list: either way there is no store to choose (the close control leads back).
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("你还没有门店!"));
    } else {
        for (const Shop& shop : shops.value) {
            ui->comboBox->addItem(shopDisplayText(shop));
        }
        ui->comboBox->setCurrentText(m_stores.remembered());
    }
    ui->pushButton_2->setEnabled(true);
    ui->pushButton->setEnabled(m_stores.chosen());
}

void SelectShopDialog::on_comboBox_currentIndexChanged(int index) {
    // A missing index (-1 when the box is cleared) reads as an empty store.
    m_stores.choose(index);
    ui->pushButton->setEnabled(m_stores.chosen());
}

void SelectShopDialog::on_pushButton_clicked() {
    // The main window never opens without a store: a charge would go out with an empty "shopid".
    if (!m_stores.chosen()) {
        return;
    }
    hide();
    m_stores.remember(ui->comboBox->currentText());
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

#include "setdatadialog.h"

#include "app/startup.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "ui_SetDataDialog.h"
#include "widgets/logfolder.h"
#include "widgets/messagebox.h"

#include <QMessageBox>
#include <QPrinterInfo>

SetDataDialog::SetDataDialog(UserSession& session, DataConfig& settings, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetDataDialog>()), m_session(session), m_settings(settings) {
    ui->setupUi(this);

    DataConfig& config = m_settings;
    ui->comboBox_printer->addItem(QString::fromUtf8(DataConfig::kNoPrinter));
    ui->comboBox_printer->addItems(QPrinterInfo::availablePrinterNames());
    // A printer that is gone leaves "不打印小票" chosen.
    const int printer = ui->comboBox_printer->findText(config.printerName());
    if (printer >= 0) {
        ui->comboBox_printer->setCurrentIndex(printer);
    }

    ui->comboBox_auto->addItems({QStringLiteral("不开机自动启动"), QStringLiteral("开机自动启动")});
    ui->comboBox_auto->setCurrentIndex(config.check());

    const int shops = session.shopsByIndex().size();
    for (int i = 0; i < shops; ++i) {
        ui->comboBox->addItem(shopDisplayText(session.shopAt(i)));
    }
    const int shop = ui->comboBox->findText(config.shopName());
    if (shop >= 0) {
        ui->comboBox->setCurrentIndex(shop);
    }

    ui->comboBox_updata->addItems({QStringLiteral("启动自动检测更新"), QStringLiteral("启动不自动检测更新")});
    if (config.checkUpdata() > 0) {
        ui->comboBox_updata->setCurrentIndex(1);
    }
}

SetDataDialog::~SetDataDialog() = default;

void SetDataDialog::on_pushButton_logs_clicked() {
    openLogFolder(this, m_settings.logFolder());
}

void SetDataDialog::on_pushButton_sure_clicked() {
    UserSession& session = m_session;
    DataConfig& config = m_settings;
    // The store changes the "shopid" of the next charge at once, without a new login.
    session.setCurrentShop(session.shopAt(ui->comboBox->currentIndex()));
    config.setShopName(ui->comboBox->currentText());
    config.setPrinterName(ui->comboBox_printer->currentText());
    config.setCheck(QString::number(ui->comboBox_auto->currentIndex()));
    syncAutostart(config);
    config.setCheckUpdata(ui->comboBox_updata->currentIndex());
    msgbox::information(this, msgbox::Title::Tip, QStringLiteral("操作成功"));
}

#include "refunds/refundsuredialog.h"

#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/money.h"
#include "app/usersession.h"
#include "gateway/requests.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/receipthtml.h"
#include "refunds/refundrules.h"
#include "settings/settingmain.h"
#include "ui_RefundSureDialog.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/printretry.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QKeySequence>

namespace {
constexpr int kPasswordChangePage = 4;
constexpr int kPasswordResetPage = 5;
}  // namespace

RefundSureDialog::RefundSureDialog(QWidget* parent, const QString& outTradeNoIn, const QString& tradeNoIn,
                                   const QString& orderMoneyIn, const QString& payChannelIn)
    : QDialog(parent),
      ui(std::make_unique<Ui::RefundSureDialog>()),
      outTradeNo(outTradeNoIn),
      tradeNo(tradeNoIn),
      orderMoney(orderMoneyIn),
      payChannel(payChannelIn) {
    ui->setupUi(this);
    ui->btnOk->setShortcut(QKeySequence(Qt::Key_Return));
    ui->btnOk1->setShortcut(QKeySequence(Qt::Key_Enter));
    // Only the dialog itself is blue: a bare rule would cascade into the white panel's labels and item boxes.
    setStyleSheet(QStringLiteral("#RefundSureDialog{background-color:#00AAFF;}"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    DragHelper::install(this);

    ui->lblmoney->setText(money::fenToYuan2(money::fenFromText(orderMoney)));
    ui->lblno->setText(tradeNo);
    ui->lbltype->setText(payChannel);
    // "0.0" is only shown, never kept as text: a click into the field followed by 5 must read 5, not 0.05.
    ui->txtmoney->clear();
    ui->txtmoney->setPlaceholderText(QStringLiteral("0.0"));
    ui->txtmoney->setFocus();
    const QString buttonStyle = windowstyle::imageButton(
        QStringLiteral("query_nor.png"), QStringLiteral("query_pre.png"), QStringLiteral("color:white;"));
    ui->btnCancel->setStyleSheet(buttonStyle);
    ui->btnOk->setStyleSheet(buttonStyle);

    const ComConfig& config = comConfig();
    if (config.refundCardEnabled) {
        gateway::post(this, requests::cards(userSession().token(), outTradeNo),
                      [this](const gateway::Reply& r) { slot_requestFinished(r); });
        ui->cbkAll->setText(config.itemName());
    } else {
        ui->cbkAll->hide();
        ui->scll->hide();
    }
}

RefundSureDialog::~RefundSureDialog() = default;

void RefundSureDialog::runForOrder(const QJsonObject& order, QWidget* parent) {
    auto str = [&order](const char* key) { return order.value(QLatin1String(key)).toString(); };
    RefundSureDialog dialog(parent, str("out_trade_no"), str("trade_no"), str("money"), str("pay_channel"));
    dialog.orderRow = order;
    dialog.exec();
}

bool RefundSureDialog::submitEnabled() const {
    return ui->btnOk->isEnabled() && ui->btnOk1->isEnabled();
}

void RefundSureDialog::setSubmitEnabled(bool enabled) {
    ui->btnOk->setEnabled(enabled);
    ui->btnOk1->setEnabled(enabled);
}

void RefundSureDialog::on_btnCancel_clicked() {
    reject();
}

void RefundSureDialog::on_btnOk_clicked() {
    submit();
}

void RefundSureDialog::on_btnOk1_clicked() {
    submit();
}

void RefundSureDialog::submit() {
    if (!submitEnabled()) {
        return;
    }
    const QString title = QStringLiteral("温馨提示");
    if (ui->txtpwd->text().isEmpty()) {
        msgbox::critical(this, title, QStringLiteral("密码不能为空"));
        return;
    }
    const refundrules::AmountCheck amount = refundrules::checkRefundAmount(ui->txtmoney->text(), orderMoney);
    if (!amount.ok) {
        msgbox::critical(this, title, amount.message);
        return;
    }
    QStringList checked;
    for (QCheckBox* box : qAsConst(cardBoxes)) {
        if (box->isChecked()) {
            checked.append(box->text());
        }
    }
    const QString cardNo = refundrules::cardNoField(checked);
    const ComConfig& config = comConfig();
    if (config.refundEnabled && config.refundCardEnabled && cardNo.isEmpty()) {
        const QMessageBox::StandardButton answer =
            msgbox::question(this, QStringLiteral("操作提示"),
                             QStringLiteral("没有选择任何") + config.itemName() + QStringLiteral("，要继续退款吗？"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer != QMessageBox::Yes) {
            return;
        }
    }
    setSubmitEnabled(false);
    m_sentFen = amount.fen;
    gateway::post(this, requests::refund(userSession().token(), amount.fen, outTradeNo, cardNo, ui->txtpwd->text()),
                  [this](const gateway::Reply& r) { onRefundResult(r); });
}

void RefundSureDialog::onRefundResult(const gateway::Reply& r) {
    const refundrules::RefundResult result = refundrules::readRefundResult(r.ok(), r.root);
    const QString title = QStringLiteral("温馨提示");
    switch (result.outcome) {
        case refundrules::Outcome::Unknown:
            // The refund may have gone through: the buttons stay off, only 取消 is left.
            msgbox::warning(this, title, result.message);
            return;
        case refundrules::Outcome::Refunded: {
            const QString receipt = receiptHtml(m_sentFen);
            receipts::PrintResult printed;
            if (!receipt.isEmpty()) {
                printed = printHtmlReceipt(receipt);
            }
            msgbox::information(this, title, result.message);
            // The refund is done whatever the printer does; its receipt may be printed again until it comes out.
            while (!printed.accepted() && printretry::askToPrintAgain(this, printed)) {
                printed = printHtmlReceipt(receipt);
            }
            accept();
            return;
        }
        case refundrules::Outcome::WrongPassword:
            msgbox::critical(this, title, result.message);
            openHubPage(kPasswordChangePage);
            break;
        case refundrules::Outcome::Refused:
            msgbox::critical(this, title, result.message);
            break;
    }
    setSubmitEnabled(true);
}

void RefundSureDialog::slot_requestFinished(const gateway::Reply& r) {
    if (!r.ok()) {
        msgbox::critical(this, QStringLiteral("错误提示"), QStringLiteral("数据查询失败，请检查网络设置"));
        return;
    }
    const refundrules::ItemsReply items = refundrules::readItems(r.content());
    if (items.count == 0) {
        msgbox::critical(this, QStringLiteral("错误提示"),
                         QStringLiteral("没有查到") + comConfig().itemName() + QStringLiteral("信息"));
        return;
    }
    for (int i = 0; i < items.items.size(); ++i) {
        const refundrules::Item& item = items.items.at(i);
        auto* box = new QCheckBox(refundrules::itemBoxText(item), ui->scrollAreaWidgetContents);
        // Bold and as large as a 30-pixel row holds whole.
        box->setStyleSheet(QStringLiteral("font: 75 12pt;"));
        box->adjustSize();
        box->move(20, refundrules::itemBoxY(i));
        box->setEnabled(!item.returned);
        box->show();
        cardBoxes.append(box);
    }
    layOutItems(cardBoxes.size());
}

void RefundSureDialog::layOutItems(int boxes) {
    if (boxes == 0) {
        return;
    }
    const refundrules::ItemListLayout layout = refundrules::itemListLayout(boxes);
    ui->scrollAreaWidgetContents->setFixedHeight(layout.contentHeight);
    ui->scll->setFixedHeight(layout.listHeight);
    ui->frame->setFixedHeight(ui->frame->height() + layout.grow);
    setFixedHeight(height() + layout.grow);
    for (QWidget* below : {static_cast<QWidget*>(ui->lblrefundpwd), static_cast<QWidget*>(ui->txtpwd),
                           static_cast<QWidget*>(ui->btnCancel), static_cast<QWidget*>(ui->btnOk),
                           static_cast<QWidget*>(ui->btnOk1), static_cast<QWidget*>(ui->pushButton)}) {
        below->move(below->x(), below->y() + layout.grow);
    }
}

void RefundSureDialog::on_pushButton_clicked() {
    openHubPage(kPasswordResetPage);
}

void RefundSureDialog::on_cbkAll_clicked() {
    const bool all = ui->cbkAll->isChecked();
    for (QCheckBox* box : qAsConst(cardBoxes)) {
        if (box->isEnabled()) {
            box->setChecked(all);
        }
    }
}

QString RefundSureDialog::receiptHtml(qint64 refundFen) const {
    const QString printer = dataConfig().printerName();
    if (!receipts::shouldAutoPrint(printer)) {
        return QString();
    }
    auto str = [this](const char* key) { return orderRow.value(QLatin1String(key)).toString(); };
    receipts::RefundReceipt r;
    r.shopName = str("shopname");
    r.operatorName = userSession().rname();
    r.payDate = str("pay_date");
    r.outTradeNo = str("out_trade_no");
    r.payChannel = str("pay_channel");
    r.orderFen = money::fenFromText(str("money"));
    r.cardNo = str("cardno");
    r.refundFen = refundFen;
    r.tradeNo = str("trade_no");
    r.servicePhone = dataConfig().servicePhone();
    return receipts::refundReceiptHtml(r);
}

void RefundSureDialog::openHubPage(int page) {
    if (SettingMain* hub = settingHub()) {
        hub->open(page);
        return;
    }
    // Only a process without the start-up hub (a test, a tool) gets here.
    SettingMain hub;
    hub.open(page);
}

#include "refunds/refundsuredialog.h"

#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/money.h"
#include "app/usersession.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/receipthtml.h"
#include "journal/refundguard.h"
#include "refunds/refundrules.h"
#include "ui_RefundSureDialog.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/printretry.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QKeySequence>

RefundSureDialog::RefundSureDialog(QWidget* parent, const QString& outTradeNoIn, const QString& tradeNoIn,
                                   const QString& orderMoneyIn, const QString& payChannelIn,
                                   SettingsOpener openSettings)
    : QDialog(parent),
      ui(std::make_unique<Ui::RefundSureDialog>()),
      outTradeNo(outTradeNoIn),
      tradeNo(tradeNoIn),
      orderMoney(orderMoneyIn),
      payChannel(payChannelIn),
      m_openSettings(std::move(openSettings)) {
    ui->setupUi(this);
    ui->btnOk->setShortcut(QKeySequence(Qt::Key_Return));
    ui->btnOk1->setShortcut(QKeySequence(Qt::Key_Enter));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    DragHelper::install(this);

    // An order amount that is not known shows empty (and no refund amount passes against it), never as 0.00.
    ui->lblmoney->setText(orderMoney.isEmpty() ? QString() : money::fenToYuan2(money::fenFromText(orderMoney)));
    windowstyle::plainLabels({ui->lblno, ui->lbltype});
    ui->lblno->setText(tradeNo);
    ui->lbltype->setText(payChannel);
    // "0.0" is only shown, never kept as text: a click into the field followed by 5 must read 5, not 0.05.
    ui->txtmoney->clear();
    ui->txtmoney->setPlaceholderText(QStringLiteral("0.0"));
    ui->txtmoney->setFocus();

    checkOpenRefund();

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

void RefundSureDialog::runForOrder(const Order& order, SettingsOpener openSettings, QWidget* parent) {
    const QString fen = order.fen ? QString::number(*order.fen) : QString();
    RefundSureDialog dialog(parent, order.outTradeNo, order.tradeNo, fen, order.payChannel, std::move(openSettings));
    dialog.orderRow = order;
    dialog.refundedBeforeFen = order.refundFen.value_or(-1);
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
    if (ui->txtpwd->text().isEmpty()) {
        msgbox::critical(this, msgbox::Title::Tip, QStringLiteral("密码不能为空"));
        return;
    }
    const refundrules::AmountCheck amount = refundrules::checkRefundAmount(ui->txtmoney->text(), orderMoney);
    if (!amount.ok) {
        msgbox::critical(this, msgbox::Title::Tip, amount.message);
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
            msgbox::question(this, msgbox::Title::Action,
                             QStringLiteral("没有选择任何") + config.itemName() + QStringLiteral("，要继续退款吗？"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer != QMessageBox::Yes) {
            return;
        }
    }
    setSubmitEnabled(false);
    QString why;
    if (!guard()->send(amount.fen, refundedBeforeFen, cardNo, ui->txtpwd->text(), &why)) {
        // Nothing was sent. A refund of this order whose outcome is unknown keeps 确定退款 off.
        msgbox::critical(this, msgbox::Title::Tip, why);
        setSubmitEnabled(!guard()->refundOpen());
    }
}

RefundGuard* RefundSureDialog::guard() {
    if (!m_guard) {
        m_guard = new RefundGuard(outTradeNo, this);
        connect(m_guard, &RefundGuard::finished, this, &RefundSureDialog::onRefundResult);
        connect(m_guard, &RefundGuard::earlierRefundDone, this, [this](qint64 fen) {
            finishRefund(
                fen, QStringLiteral("这笔交易上一次的退款（%1元）已经完成，不需要再退。").arg(money::fenToYuan2(fen)));
        });
        connect(m_guard, &RefundGuard::earlierRefundCleared, this, [this] { setSubmitEnabled(true); });
        connect(m_guard, &RefundGuard::earlierRefundUnknown, this, [this] {
            msgbox::warning(this, msgbox::Title::Tip,
                            QStringLiteral("这笔交易上一次退款的结果还未能确认。\n"
                                           "请稍后在交易查询中核对这笔交易的退款金额，再决定是否重新退款。"));
        });
    }
    return m_guard;
}

void RefundSureDialog::checkOpenRefund() {
    // A refund of this order whose answer never came (in this run or an earlier one) is looked up first.
    if (guard()->refundOpen()) {
        setSubmitEnabled(false);
        guard()->lookUpOpenRefund();
    }
}

void RefundSureDialog::onRefundResult(const replies::RefundResult& result, qint64 fen) {
    switch (result.outcome) {
        case replies::Outcome::Unknown:
            // The refund may have gone through: the buttons stay off, only 取消 is left.
            msgbox::warning(this, msgbox::Title::Tip,
                            QStringLiteral("没有收到网关的答复，这笔退款可能已经完成，也可能没有。\n"
                                           "请先在交易查询中核对这笔交易的退款金额，再决定是否重新退款。"));
            return;
        case replies::Outcome::Paid:
            finishRefund(fen, replies::shown(result.message));
            return;
        case replies::Outcome::Refused:
            msgbox::critical(this, msgbox::Title::Tip, replies::shown(result.message));
            if (result.wrongPassword) {
                openHubPage(SettingsPage::RefundPasswordChange);
            }
            break;
        case replies::Outcome::NotSent:
            msgbox::critical(this, msgbox::Title::Tip,
                             QStringLiteral("网络异常，退款请求没有发出，请检查网络后重试。"));
            break;
    }
    setSubmitEnabled(true);
}

void RefundSureDialog::slot_requestFinished(const gateway::Reply& r) {
    const replies::Read<replies::Items> read = replies::items(r);
    if (read.status.transport != gateway::Reply::Envelope) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("数据查询失败，请检查网络设置"));
        return;
    }
    const replies::Items& items = read.value;
    if (!read.ok() || items.count == 0) {
        msgbox::critical(this, msgbox::Title::Error,
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
    openHubPage(SettingsPage::RefundPasswordReset);
}

void RefundSureDialog::on_cbkAll_clicked() {
    const bool all = ui->cbkAll->isChecked();
    for (QCheckBox* box : qAsConst(cardBoxes)) {
        if (box->isEnabled()) {
            box->setChecked(all);
        }
    }
}

void RefundSureDialog::finishRefund(qint64 fen, const QString& message) {
    const QString receipt = receiptHtml(fen);
    receipts::PrintResult printed;
    if (!receipt.isEmpty()) {
        printed = printHtmlReceipt(receipt);
    }
    msgbox::information(this, msgbox::Title::Tip, message);
    // The refund is done whatever the printer does; its receipt may be printed again until it comes out.
    while (!printed.accepted() && printretry::askToPrintAgain(this, printed)) {
        printed = printHtmlReceipt(receipt);
    }
    accept();
}

QString RefundSureDialog::receiptHtml(qint64 refundFen) const {
    const QString printer = dataConfig().printerName();
    if (!receipts::shouldAutoPrint(printer)) {
        return QString();
    }
    receipts::RefundReceipt r = receipts::refundReceiptOf(orderRow, refundFen);
    r.operatorName = userSession().rname();
    r.servicePhone = dataConfig().servicePhone();
    return receipts::refundReceiptHtml(r);
}

void RefundSureDialog::openHubPage(SettingsPage page) {
    if (m_openSettings) {
        m_openSettings(page);
    }
}

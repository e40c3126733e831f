#include "refunds/refundsuredialog.h"

#include "app/shown.h"
#include "app/money.h"
#include "core/receiptservice.h"
#include "core/till.h"
#include "refunds/refundrules.h"
#include "ui_RefundSureDialog.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/printretry.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {
// The state line below the buttons: what the order's refund is doing, or why 确定退款 is off.
constexpr int kStateHeight = 50;
}  // namespace

RefundSureDialog::RefundSureDialog(Till& till, QWidget* parent, const QString& outTradeNoIn, const QString& tradeNoIn,
                                   const QString& orderMoneyIn, const QString& payChannelIn,
                                   SettingsOpener openSettings)
    : QDialog(parent),
      ui(std::make_unique<Ui::RefundSureDialog>()),
      m_till(till),
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

    m_state = new QLabel(ui->frame);
    m_state->setObjectName(QStringLiteral("lblRefundState"));
    m_state->setTextFormat(Qt::PlainText);
    m_state->setWordWrap(true);
    m_state->hide();
    m_resolve = new QPushButton(ui->frame);
    m_resolve->setObjectName(QStringLiteral("btnRefundResolve"));
    m_resolve->setFocusPolicy(Qt::NoFocus);
    m_resolve->setAutoDefault(false);
    m_resolve->hide();
    connect(m_resolve, &QPushButton::clicked, this, [this] {
        if (m_guard->phase() == RefundGuard::Phase::Checking) {
            m_guard->stopCheck();
        } else {
            askAboutUnresolved();
        }
    });

    // A refund of this order that is open (this run, an earlier one, another copy of the client) is shown and
    // looked up before anything else.
    m_guard = m_till.refunds().guard(outTradeNo, this);
    connect(m_guard, &RefundGuard::phaseChanged, this, &RefundSureDialog::showGuardState);
    connect(m_guard, &RefundGuard::finished, this, &RefundSureDialog::onRefundResult);
    connect(m_guard, &RefundGuard::notSent, this,
            [this](const QString& why) { msgbox::critical(this, msgbox::Title::Tip, why); });
    connect(m_guard, &RefundGuard::journalTrouble, this,
            [this](const QString& why) { msgbox::warning(this, msgbox::Title::Tip, why); });
    connect(m_guard, &RefundGuard::earlierRefundDone, this, [this](qint64 fen) {
        // Told outside the reply handler, so the box's own event loop does not run inside it.
        QTimer::singleShot(0, this, [this, fen] {
            finishRefund(
                fen, QStringLiteral("这笔交易上一次的退款（%1元）已经完成，不需要再退。").arg(money::fenToYuan2(fen)));
        });
    });
    connect(m_guard, &RefundGuard::earlierRefundUnclear, this, [this](const QString& text) {
        QTimer::singleShot(0, this, [this, text] {
            // Either answer moves money or records that it moved: neither is reached by Return, Space or Esc.
            const auto answer = msgbox::ask(this, QMessageBox::Warning, msgbox::Title::Tip, text,
                                            {{QMessageBox::Yes, QStringLiteral("那笔已完成，不再退款")},
                                             {QMessageBox::No, QStringLiteral("仍然退这一笔")},
                                             {QMessageBox::Cancel, QStringLiteral("稍后再定")}},
                                            QMessageBox::NoButton, QMessageBox::Yes | QMessageBox::No);
            m_guard->answerEarlier(answer == QMessageBox::Yes  ? RefundGuard::EarlierRefund::WentThrough
                                   : answer == QMessageBox::No ? RefundGuard::EarlierRefund::SendAnyway
                                                               : RefundGuard::EarlierRefund::Undecided);
        });
    });
    m_guard->start();
    showGuardState();

    const ComConfig& config = m_till.record();
    if (config.refundCardEnabled) {
        m_till.refunds().items(this, outTradeNo,
                               [this](const replies::Read<replies::Items>& read) { slot_requestFinished(read); });
        ui->cbkAll->setText(config.itemName());
    } else {
        ui->cbkAll->hide();
        ui->scll->hide();
    }
}

RefundSureDialog::~RefundSureDialog() = default;

void RefundSureDialog::runForOrder(Till& till, const Order& order, SettingsOpener openSettings, QWidget* parent) {
    const QString fen = order.fen ? QString::number(*order.fen) : QString();
    RefundSureDialog dialog(till, parent, order.outTradeNo, order.tradeNo, fen, order.payChannel,
                            std::move(openSettings));
    dialog.orderRow = order;
    dialog.m_guard->setOrderTime(order.paidAt);
    // What the page showed of the order: a refund goes out only while it still stands (the guard keeps it current).
    dialog.m_guard->setShown(order.fen, order.refundFen);
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

void RefundSureDialog::reject() {
    if (m_guard->busy()) {
        return;  // a refund on its way is not abandoned: its outcome is still to be recorded
    }
    QDialog::reject();
}

void RefundSureDialog::closeEvent(QCloseEvent* event) {
    if (m_guard->busy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QString RefundSureDialog::stateText() const {
    return m_state->isHidden() ? QString() : m_state->text();
}

void RefundSureDialog::showGuardState() {
    const QString amount = money::fenToYuan2(m_guard->openFen());
    QString text;
    QString action;
    switch (m_guard->phase()) {
        case RefundGuard::Phase::Ready:
        case RefundGuard::Phase::Done:
            break;
        case RefundGuard::Phase::Reading:
        case RefundGuard::Phase::Sending:
            text = QStringLiteral("正在退款（%1元），请稍候……退款发出后，得到结果前不能关闭本窗口。").arg(amount);
            break;
        case RefundGuard::Phase::Checking:
            text =
                QStringLiteral("这笔交易的退款（%1元）没有收到明确的答复，正在核对是否已经退款，请稍候……").arg(amount);
            action = QStringLiteral("停止核对");
            break;
        case RefundGuard::Phase::Unresolved:
            text = QStringLiteral("这笔交易上一次的退款（%1元）结果还未确认，确认前不能再退款。").arg(amount);
            if (!m_guard->detail().isEmpty()) {
                text += QLatin1Char('\n') + m_guard->detail();
            }
            action = QStringLiteral("处理");
            break;
        case RefundGuard::Phase::Elsewhere:
            text = m_guard->detail();
            break;
    }
    const bool ready = m_guard->phase() == RefundGuard::Phase::Ready && !m_answering;
    setSubmitEnabled(ready);
    ui->btnCancel->setEnabled(!m_guard->busy());
    if (!text.isEmpty() && m_state->isHidden()) {
        // The panel grows by the line, once.
        const int top = ui->btnCancel->y() + ui->btnCancel->height() + 6;
        m_state->setGeometry(12, top, action.isEmpty() ? ui->frame->width() - 24 : ui->frame->width() - 112,
                             kStateHeight - 6);
        m_resolve->setGeometry(ui->frame->width() - 96, top + 8, 84, 28);
        ui->frame->setFixedHeight(ui->frame->height() + kStateHeight);
        setFixedHeight(height() + kStateHeight);
    }
    m_state->setText(text);
    m_state->setVisible(!text.isEmpty());
    m_resolve->setText(action);
    m_resolve->setVisible(!action.isEmpty());
    if (!action.isEmpty()) {
        m_state->setFixedWidth(ui->frame->width() - 112);
    } else if (!text.isEmpty()) {
        m_state->setFixedWidth(ui->frame->width() - 24);
    }
}

void RefundSureDialog::askAboutUnresolved() {
    if (m_guard->phase() != RefundGuard::Phase::Unresolved) {
        return;
    }
    const QString amount = money::fenToYuan2(m_guard->openFen());
    const auto choice = msgbox::ask(this, QMessageBox::Warning, msgbox::Title::Tip,
                                    QStringLiteral("这笔交易的退款（%1元）结果还未确认，客户可能已经收到退款！\n"
                                                   "请在“交易查询”中核对这笔交易的已退金额。")
                                        .arg(amount),
                                    {{QMessageBox::Retry, QStringLiteral("继续核对")},
                                     {QMessageBox::Discard, QStringLiteral("确认未退款")},
                                     {QMessageBox::Cancel, QStringLiteral("稍后处理")}},
                                    QMessageBox::Retry);
    if (choice == QMessageBox::Retry) {
        m_guard->checkAgain();
        return;
    }
    if (choice != QMessageBox::Discard) {
        return;
    }
    const auto sure = msgbox::ask(
        this, QMessageBox::Warning, msgbox::Title::Tip,
        QStringLiteral("请确认：已核对这笔交易，这笔退款（%1元）没有完成。\n确认后可以重新退款。").arg(amount),
        {{QMessageBox::Yes, QStringLiteral("确认未退款")}, {QMessageBox::No, QStringLiteral("返回")}}, QMessageBox::No);
    QString why;
    if (sure == QMessageBox::Yes && !m_guard->release(&why)) {
        msgbox::critical(this, msgbox::Title::Tip, why);
    }
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
    const ComConfig& config = m_till.record();
    if (config.refundEnabled && config.refundCardEnabled && cardNo.isEmpty()) {
        const QMessageBox::StandardButton answer =
            msgbox::question(this, msgbox::Title::Action,
                             QStringLiteral("没有选择任何") + config.itemName() + QStringLiteral("，要继续退款吗？"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer != QMessageBox::Yes) {
            return;
        }
    }
    QString why;
    m_guard->setOrderTime(orderRow.paidAt);
    if (!m_guard->send(amount.fen, cardNo, ui->txtpwd->text(), &why)) {
        // Nothing was sent.
        msgbox::critical(this, msgbox::Title::Tip, why);
    }
}

void RefundSureDialog::onRefundResult(const replies::RefundResult& result, qint64 fen) {
    m_answering = true;
    showGuardState();
    tell(result, fen);
    m_answering = false;
    if (isVisible()) {
        showGuardState();
    }
}

void RefundSureDialog::tell(const replies::RefundResult& result, qint64 fen) {
    switch (result.outcome) {
        case replies::Outcome::Unknown:
            // The refund may have gone through: it is looked up; nothing is sent again meanwhile.
            msgbox::warning(this, msgbox::Title::Tip,
                            QStringLiteral("没有收到网关的明确答复，这笔退款可能已经完成，也可能没有。\n"
                                           "正在核对，请稍候；核对完成前不能关闭本窗口，也不能重新退款。"));
            return;
        case replies::Outcome::Paid:
            finishRefund(fen, display::shown(result.message));
            return;
        case replies::Outcome::Refused:
            msgbox::critical(this, msgbox::Title::Tip, display::shown(result.message));
            if (result.wrongPassword) {
                openHubPage(SettingsPage::RefundPasswordChange);
            }
            break;
        case replies::Outcome::NotSent:
            msgbox::critical(this, msgbox::Title::Tip,
                             QStringLiteral("网络异常，退款请求没有发出，请检查网络后重试。"));
            break;
    }
}

void RefundSureDialog::slot_requestFinished(const replies::Read<replies::Items>& read) {
    if (!read.status.answered()) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("数据查询失败，请检查网络设置"));
        return;
    }
    const replies::Items& items = read.value;
    if (!read.ok() || items.count == 0) {
        msgbox::critical(this, msgbox::Title::Error,
                         QStringLiteral("没有查到") + m_till.record().itemName() + QStringLiteral("信息"));
        return;
    }
    for (int i = 0; i < items.items.size(); ++i) {
        const refundrules::Item& item = items.items.at(i);
        auto* box = new QCheckBox(refundrules::itemBoxText(item), ui->scrollAreaWidgetContents);
        // As large as a 30-pixel row holds whole (cashier.qss).
        box->setObjectName(QStringLiteral("refundItem"));
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
        printed = m_till.receipts().print(receipt);
    }
    msgbox::information(this, msgbox::Title::Tip, message);
    // The refund is done whatever the printer does; its receipt may be printed again until it comes out.
    while (!printed.accepted() && printretry::askToPrintAgain(this, printed)) {
        printed = m_till.receipts().print(receipt);
    }
    accept();
}

QString RefundSureDialog::receiptHtml(qint64 refundFen) const {
    if (!m_till.receipts().printsSales()) {
        return QString();
    }
    receipts::RefundReceipt r = receipts::refundReceiptOf(orderRow, refundFen);
    r.operatorName = m_till.session().rname();
    r.servicePhone = m_till.receipts().servicePhone();
    return receipts::refundReceiptHtml(r);
}

void RefundSureDialog::openHubPage(SettingsPage page) {
    if (m_openSettings) {
        m_openSettings(page);
    }
}

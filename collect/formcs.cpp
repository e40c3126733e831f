#include "collect/formcs.h"

#include "app/comconfig.h"
#include "app/money.h"
#include "app/usersession.h"
#include "collect/chargechecker.h"
#include "collect/collectlogic.h"
#include "collect/formtradeinfo.h"
#include "collect/ticketform.h"
#include "gateway/reply.h"
#include "gateway/requests.h"
#include "ui_FormCS.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/popupkeyboard.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSet>
#include <QTimer>

namespace {
const Qt::WindowFlags kWindowFlags = Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

QString checkingPrompt() {
    return QStringLiteral("正在确认本次收款结果，请稍候，请勿重复扫码……");
}
QString tipTitle() {
    return QStringLiteral("温馨提示");
}

// Order numbers of the sales this client completed in this run. A later unanswered charge of the same amount must
// not be matched to one of them: that customer would leave without paying.
QSet<QString>& settledOrders() {
    static QSet<QString> orders;
    return orders;
}
}  // namespace

FormCS::FormCS(QWidget* parent, const QString& amountText)
    : QWidget(parent), ui(new Ui::FormCS), amountText(amountText), m_timing(chargecheck::timingFromEnvironment()) {
    ui->setupUi(this);
    setWindowFlags(kWindowFlags);
    // The scanner's keys must reach this window however the main window is being brought up meanwhile.
    popupkeyboard::keep(this);
    windowstyle::centreOnScreen(this);
    ui->close_btn->setStyleSheet(
        windowstyle::imageButton(QStringLiteral("close_nor.png"), QStringLiteral("close_pre.png")) +
        QStringLiteral(" QToolTip {background-color:white}"));
    ui->btnStopCheck->hide();
    m_scanPrompt = ui->label->text();
    DragHelper::install(this);

    m_chargeFen = collect::chargeFen(amountText, comConfig().centsMode);
    ui->lblMoney->setText(shownAmount());
    ticketPage = qobject_cast<TicketForm*>(parent);
}

FormCS::~FormCS() = default;

void FormCS::setAmountEdit(QLineEdit* edit) {
    amountEdit = edit;
}

QString FormCS::shownAmount() const {
    // The exact amount charged, so the customer sees what is taken.
    return m_chargeFen ? collect::chargeDisplayText(*m_chargeFen) : amountText + QStringLiteral("元");
}

QString FormCS::statusText() const {
    return ui->label->text();
}

void FormCS::on_close_btn_clicked() {
    if (m_checking) {
        endCheckUnknown();
        return;
    }
    close();
}

void FormCS::on_btnStopCheck_clicked() {
    if (m_checking) {
        endCheckUnknown();
    }
}

void FormCS::keyPressEvent(QKeyEvent* event) {
    if (m_checking) {
        // Nothing typed now may start a charge; Escape is the cashier stopping the check.
        if (event->key() == Qt::Key_Escape) {
            endCheckUnknown();
        }
        return;
    }
    if (event->key() == Qt::Key_Return) {
        if (!m_charging) {
            charge();
        }
        scanBuffer.clear();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // A scanner types printable characters only; Ctrl+V and other control keys must not reach the code.
    for (const QChar c : event->text()) {
        if (c.isPrint()) {
            scanBuffer += c;
        }
    }
}

void FormCS::closeEvent(QCloseEvent* event) {
    if (m_inBox) {
        event->accept();
        return;  // a modal box closes popups; the window comes back once the box is answered
    }
    if (m_checking) {
        // A click beside the popup must not end the check unseen: the cashier stops it with the button.
        event->ignore();
        return;
    }
    event->accept();
    if (m_charging) {
        // The charge may still succeed: the window outlives its page (the cashier may switch pages meanwhile) so
        // the result and the receipt are not lost.
        m_closedWhileCharging = true;
        if (parent()) {
            setParent(nullptr, windowFlags());
        }
    } else {
        deleteLater();
    }
}

void FormCS::charge() {
    if (!m_chargeFen) {
        reportFailure(QStringLiteral("收款金额格式不正确"));
        return;
    }
    const UserSession& session = userSession();
    const RequestBody body = ticketPage ? requests::ticketScanPay(ticketPage->selectionString(), scanBuffer,
                                                                  *m_chargeFen, session.uid(), session.shopId())
                                        : requests::scanPay(scanBuffer, *m_chargeFen, session.uid(), session.shopId());
    m_sentAt = QDateTime::currentDateTime();
    m_chargeShopId = session.shopId();
    m_soldTickets = ticketPage ? ticketPage->soldTickets() : QJsonArray();
    m_charging = true;
    gateway::post(
        this, body, [this](const gateway::Reply& r) { slot_requestFinished(r); }, m_timing.chargeTimeoutMs);
}

void FormCS::slot_requestFinished(const gateway::Reply& reply) {
    m_charging = false;
    const bool closed = m_closedWhileCharging;
    m_closedWhileCharging = false;
    // Sent but not answered, or answered by something other than the gateway's envelope: the charge may have been
    // carried out. It is checked, never sent again; the window comes back even if it was closed meanwhile.
    if (reply.kind == gateway::Reply::Unknown || reply.kind == gateway::Reply::NotEnvelope) {
        startChecking();
        return;
    }
    const QJsonObject content = reply.content();
    const QString msg = reply::str(content, "msg");
    // Never sent, or an envelope without a message: the network message, never an empty box.
    if (!reply.ok() || msg.isEmpty()) {
        if (!closed) {
            reportFailure(QStringLiteral("客户尚未输入密码或网络异常！请查看本机网络或者重新收款！"));
        } else {
            deleteLater();
        }
        return;
    }
    if (msg == QStringLiteral("成功")) {
        completeSale(content, closed);
        return;
    }
    if (closed) {
        deleteLater();
        return;
    }
    reportFailure(msg);
}

void FormCS::completeSale(const QJsonObject& content, bool alreadyClosed) {
    for (const char* key : {"out_trade_no", "trade_no"}) {
        const QString orderNo = reply::str(content, key);
        if (!orderNo.isEmpty()) {
            settledOrders().insert(orderNo);
        }
    }
    if (ticketPage) {
        ticketPage->resetCounts();
    } else if (amountEdit) {
        amountEdit->clear();
    }
    if (alreadyClosed) {
        deleteLater();
    } else {
        close();
    }
    auto* info = new FormTradeInfo(content);
    info->show();
}

template <class ShowBox>
auto FormCS::showBox(ShowBox show) {
    m_inBox = true;
    const auto answer = show();
    m_inBox = false;
    return answer;
}

void FormCS::reportFailure(const QString& text) {
    showBox([&] { return msgbox::critical(this, tipTitle(), text, QMessageBox::Ok); });
    // The cashier scans again in the same window.
    scanBuffer.clear();
    show();
    activateWindow();
}

void FormCS::startChecking() {
    m_checking = true;
    scanBuffer.clear();
    // The check outlives the page that opened the window (the cashier may switch pages), as a charge does.
    if (parent()) {
        setParent(nullptr, kWindowFlags);
    } else if (windowFlags() != kWindowFlags) {
        setWindowFlags(kWindowFlags);
    }
    ui->label->setText(checkingPrompt());
    ui->btnStopCheck->show();
    show();
    activateWindow();

    if (!m_chargeFen) {
        endCheckUnknown();
        return;
    }
    auto* checker = new ChargeChecker(chargecheck::Charge{*m_chargeFen, m_chargeShopId, m_sentAt}, m_timing, this);
    m_checker = checker;
    connect(checker, &ChargeChecker::candidatesFound, this, [this](const QList<chargecheck::Candidate>& found) {
        // Asked outside the listing's reply handler, so the box's own event loop does not run inside it.
        QTimer::singleShot(0, this, [this, found] { askAboutCandidates(found); });
    });
    connect(checker, &ChargeChecker::notFound, this, &FormCS::endCheckNotFound);
    connect(checker, &ChargeChecker::listingFailed, this, &FormCS::endCheckUnknown);
    checker->exclude(settledOrders());
    checker->start();
}

void FormCS::askAboutCandidates(const QList<chargecheck::Candidate>& found) {
    for (const chargecheck::Candidate& c : found) {
        if (!m_checking) {
            return;
        }
        if (isThisSale(c)) {
            const QJsonObject shop = userSession().currentShop();
            const QString shopName = reply::str(shop, "main_name") + reply::str(shop, "branch_name");
            const QJsonObject content = chargecheck::tradeContent(c, userSession().rname(), shopName, m_soldTickets);
            leaveCheckingState();
            completeSale(content, false);
            return;
        }
    }
    if (m_checking && m_checker) {
        m_checker->goOn(found);
    }
}

bool FormCS::isThisSale(const chargecheck::Candidate& c) {
    // The scan time beside the transaction's, so a sale of the same amount at another till can be told apart.
    const QString text = QStringLiteral(
                             "查到一笔金额相同的收款：\n\n"
                             "金额：%1元\n"
                             "支付方式：%2\n"
                             "交易时间：%3\n"
                             "订单号：%4\n"
                             "（本次扫码时间：%5）\n\n"
                             "这笔是不是本次收款？")
                             .arg(money::fenToYuan2(c.fen), c.channel, c.payDate, c.orderNo,
                                  m_sentAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    const auto answer = showBox([&] {
        return msgbox::ask(
            this, QMessageBox::Question, tipTitle(), text,
            {{QMessageBox::Yes, QStringLiteral("是本次收款")}, {QMessageBox::No, QStringLiteral("不是")}},
            QMessageBox::Yes);
    });
    if (m_checking) {
        show();
        activateWindow();
    }
    return answer == QMessageBox::Yes;
}

void FormCS::endCheckNotFound() {
    leaveCheckingState();
    showBox([&] {
        return msgbox::information(this, tipTitle(), QStringLiteral("未查到本次收款记录，可以重新扫码收款。"),
                                   QMessageBox::Ok);
    });
    show();
    activateWindow();
}

void FormCS::endCheckUnknown() {
    leaveCheckingState();
    showBox([&] {
        return msgbox::warning(this, tipTitle(),
                               QStringLiteral("本次收款结果未能确认，客户可能已经付款！\n"
                                              "请先在“交易查询”中核对，确认没有这笔收款后再重新收款。"),
                               QMessageBox::Ok);
    });
    show();
    activateWindow();
}

void FormCS::leaveCheckingState() {
    m_checking = false;
    if (m_checker) {
        m_checker->stop();
        m_checker->deleteLater();
    }
    scanBuffer.clear();
    ui->label->setText(m_scanPrompt);
    ui->btnStopCheck->hide();
}

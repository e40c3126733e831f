#include "collect/formcs.h"

#include "app/comconfig.h"
#include "collect/collectlogic.h"
#include "collect/formtradeinfo.h"
#include "collect/ticketform.h"
#include "gateway/reply.h"
#include "gateway/requests.h"
#include "app/usersession.h"
#include "ui_FormCS.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

FormCS::FormCS(QWidget* parent, const QString& amountText)
    : QWidget(parent), ui(new Ui::FormCS), amountText(amountText), m_timeoutMs(HttpFun::kDefaultTimeoutMs) {
    ui->setupUi(this);
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    windowstyle::centreOnScreen(this);
    ui->close_btn->setStyleSheet(
        windowstyle::imageButton(QStringLiteral("close_nor.png"), QStringLiteral("close_pre.png")) +
        QStringLiteral(" QToolTip {background-color:white}"));
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

void FormCS::on_close_btn_clicked() {
    close();
}

void FormCS::keyPressEvent(QKeyEvent* event) {
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
    event->accept();
    if (m_reportingFailure) {
        return;  // a modal box closes popups; the window comes back once the box is answered
    }
    if (m_charging) {
        // The charge may still succeed: the window outlives its page (the cashier may switch pages meanwhile) so
        // the result and the receipt are not lost.
        m_closedWhileCharging = true;
        if (parent()) {
            setParent(nullptr);
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
    m_charging = true;
    gateway::post(
        this, body, [this](const gateway::Reply& r) { slot_requestFinished(r); }, m_timeoutMs);
}

void FormCS::slot_requestFinished(const gateway::Reply& reply) {
    m_charging = false;
    const bool closed = m_closedWhileCharging;
    m_closedWhileCharging = false;
    const QJsonObject content = reply.content();
    const QString msg = reply::str(content, "msg");
    // No envelope, or one without a message, says nothing about the charge: the network message, never an empty box.
    if (!reply.ok() || msg.isEmpty()) {
        if (!closed) {
            reportFailure(QStringLiteral("客户尚未输入密码或网络异常！请查看本机网络或者重新收款！"));
        } else {
            deleteLater();
        }
        return;
    }
    if (msg == QStringLiteral("成功")) {
        if (ticketPage) {
            ticketPage->resetCounts();
        } else if (amountEdit) {
            amountEdit->clear();
        }
        if (closed) {
            deleteLater();
        } else {
            close();
        }
        auto* info = new FormTradeInfo(content);
        info->show();
        return;
    }
    if (closed) {
        deleteLater();
        return;
    }
    reportFailure(msg);
}

void FormCS::reportFailure(const QString& text) {
    m_reportingFailure = true;
    msgbox::critical(this, QStringLiteral("温馨提示"), text, QMessageBox::Ok);
    m_reportingFailure = false;
    // The cashier scans again in the same window.
    scanBuffer.clear();
    show();
    activateWindow();
}

#include "transactions/mytrade.h"

#include "app/dataconfig.h"
#include "app/money.h"
#include "app/relaunch.h"
#include "app/usersession.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "payments/chargecontroller.h"
#include "payments/journal.h"
#include "receipts/printhtmlreceipt.h"
#include "receipts/summaryhtml.h"
#include "transactions/checkdetaildialog.h"
#include "ui_myTrade.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/printretry.h"
#include "widgets/windowstyle.h"

#include <QDebug>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace {
// The charges and refunds of this copy of the client whose outcome is open, as the cashier reads them; empty when
// there are none. The next copy must not start with them: their replies would be lost, and the next cashier asked
// about sales they never made.
QString openMoneyText() {
    QList<journal::Attempt> open;
    if (journal::Journal* j = journal::instance()) {
        open = j->open(QString());
        open.erase(
            std::remove_if(open.begin(), open.end(), [j](const journal::Attempt& a) { return j->heldElsewhere(a); }),
            open.end());
    }
    QString text = journal::handoverBlockedText(open);
    const ChargeController* busy = ChargeController::busy();
    if (text.isEmpty() && busy) {
        // Not in the journal yet: an earlier payment of the amount is being looked for before it is sent.
        text = QStringLiteral("一笔 %1元 的收款正在处理中，交接班前请先在收款窗口中完成。")
                   .arg(money::fenToYuan2(busy->fen()));
    }
    return text;
}

constexpr int kTicketRowHeight = 20;

const char* const kTimeFormat = "yyyy-MM-dd hh:mm:ss";

// A period bound from the print-time reply; invalid when absent or unreadable.
QDateTime replyTime(const QString& text) {
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, QString::fromLatin1(kTimeFormat));
}

}  // namespace

myTrade::myTrade(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::myTrade>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(QStringLiteral("柚屿岚舟钱包"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    DragHelper::install(this);
    // These show the gateway's texts: never markup.
    windowstyle::plainLabels({ui->lblczry, ui->lblskmd, ui->lbltime, ui->lblendtime});

    const UserSession& session = userSession();
    ui->lblczry->setText(session.rname());
    ui->lblskmd->setText(shiftsummary::shopLabel(session.currentShop()));
    addCheckLine();

    // Until the gateway proposes the period: today from midnight to now.
    ui->time2->setDateTime(QDateTime::currentDateTime());
    ui->time1->setDateTime(QDateTime(QDate::currentDate(), QTime(0, 0)));
    updatePrintButton();

    getPrintTime();
    m_state.waitForPeriod();
}

myTrade::~myTrade() = default;

myTrade* myTrade::openNonBlocking() {
    auto* dialog = new myTrade;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    windowstyle::centreOnScreen(dialog);
    dialog->show();
    return dialog;
}

QList<QLabel*> myTrade::ticketLabels() const {
    return ui->scrollAreaWidgetContents->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
}

int myTrade::ticketContentsHeight() const {
    return ui->scrollAreaWidgetContents->height();
}

void myTrade::on_btnClose_clicked() {
    close();
}

void myTrade::getPrintTime() {
    gateway::post(this, requests::printTime(userSession().token()),
                  [this](const gateway::Reply& r) { solt_getPrintTime(r); });
}

void myTrade::solt_getPrintTime(const gateway::Reply& r) {
    // Without an answer the edits keep today's midnight and the opening time; the cashier can change them.
    const replies::Read<replies::PrintTime> period = replies::printTime(r);
    if (period.ok()) {
        const QDateTime from = replyTime(period.value.time1);
        const QDateTime to = replyTime(period.value.time2);
        if (from.isValid()) {
            ui->time1->setDateTime(from);
        }
        if (to.isValid()) {
            ui->time2->setDateTime(to);
        }
    }
    // Whether the answer moved one edit, both or none, the totals of the period now shown are asked for once.
    m_state.periodSettled();
    getHttpRecord();
}

void myTrade::getHttpRecord() {
    const int query = m_state.startTotals();
    updatePrintButton();
    startCheck();
    const RequestBody body = requests::listSumTicket(userSession().token(), ui->time1->dateTime().toSecsSinceEpoch(),
                                                     ui->time2->dateTime().toSecsSinceEpoch());
    gateway::post(this, body, [this, query](const gateway::Reply& r) {
        const bool shown = replies::totals(r).ok();
        // An answer to an older period is dropped: only the figures of the period on show may be printed.
        if (m_state.finishTotals(query, shown)) {
            updatePrintButton();
            slot_requestFinished(r);
        }
    });
}

void myTrade::addCheckLine() {
    // The line goes under the figures. The dialog keeps its size: the ticket list below gives up the height (it
    // scrolls), and its heading moves down with it.
    constexpr int kTop = 366;
    constexpr int kHeight = 26;
    ui->label_13->move(ui->label_13->x(), ui->label_13->y() + kHeight);
    ui->scll->setGeometry(ui->scll->geometry().adjusted(0, kHeight, 0, 0));
    m_checkLine = new QLabel(this);
    m_checkLine->setObjectName(QStringLiteral("lblCheck"));
    m_checkLine->setTextFormat(Qt::PlainText);  // a failure may quote the gateway
    m_checkLine->setGeometry(10, kTop, 263, 22);
    m_checkDetail = new QPushButton(QStringLiteral("明细"), this);
    m_checkDetail->setObjectName(QStringLiteral("btnCheckDetail"));
    m_checkDetail->setGeometry(225, kTop, 48, 22);
    m_checkDetail->hide();
    connect(m_checkDetail, &QPushButton::clicked, this, &myTrade::openCheckDetail);
    m_check = new reconcile::HandoverCheck(this);
    connect(m_check, &reconcile::HandoverCheck::done, this, &myTrade::showCheck);
    connect(m_check, &reconcile::HandoverCheck::failed, this, &myTrade::showCheckFailed);
}

void myTrade::setCheckText(const QString& text, bool disagrees) {
    // The full text is printed and logged; on screen it is cut to the line (the tooltip has all of it).
    m_checkText = text;
    m_checkDetail->setVisible(disagrees);
    m_checkLine->setStyleSheet(disagrees ? QStringLiteral("color:#D00000;background:#FFF3C4;") : QString());
    const int room = disagrees ? m_checkDetail->x() - m_checkLine->x() - 4 : 263;
    m_checkLine->setFixedWidth(room);
    m_checkLine->setText(m_checkLine->fontMetrics().elidedText(text, Qt::ElideRight, room - 4));
    m_checkLine->setToolTip(text);
    qDebug().noquote() << "handover check:" << text;
}

void myTrade::startCheck() {
    m_findings.clear();
    setCheckText(QStringLiteral("正在与网关核对本机记录……"), false);
    const UserSession& session = userSession();
    m_check->start(ui->time1->dateTime(), ui->time2->dateTime(), session.shopId(), session.token());
}

void myTrade::showCheck(const reconcile::Result& result) {
    m_findings = result.findings;
    setCheckText(reconcile::summaryLine(result), !result.agrees());
    for (const reconcile::Finding& f : result.findings) {
        qDebug().noquote() << "handover check finding:" << reconcile::detailCells(f).join(QLatin1Char(' '));
    }
}

void myTrade::showCheckFailed(const QString& why) {
    // Not a reason to hold the handover up: the line says the check was not made.
    m_findings.clear();
    setCheckText(reconcile::failedLine(why), false);
}

void myTrade::openCheckDetail() {
    CheckDetailDialog detail(m_findings, this);
    windowstyle::centreOnScreen(&detail);
    detail.exec();
}

void myTrade::slot_requestFinished(const gateway::Reply& r) {
    const replies::Read<replies::Totals> totals = replies::totals(r);
    if (!totals.ok()) {
        // A refused query (an expired session, say) shows its reason, never a summary of zeros.
        msgbox::critical(this, msgbox::Title::Error, shiftsummary::totalsFailure(totals.status));
        return;
    }
    showTotals(shiftsummary::labelsFromTotals(totals.value));
}

void myTrade::showTotals(const shiftsummary::Labels& l) {
    ui->lbltime->setText(l.start);
    ui->lblendtime->setText(l.end);
    ui->lblssje->setText(l.total);
    ui->lblzfbje->setText(l.alipayMoney);
    ui->lblzfbtk->setText(l.alipayRefund);
    ui->lblwxje->setText(l.wechatMoney);
    ui->lblwxtk->setText(l.wechatRefund);
    ui->lbltkzje->setText(l.refundTotal);

    const QList<QLabel*> old = ticketLabels();
    qDeleteAll(old);
    for (int i = 0; i < l.tickets.size(); ++i) {
        auto* line = new QLabel(ui->scrollAreaWidgetContents);
        line->setTextFormat(Qt::PlainText);  // ticket names are the gateway's
        line->setText(receipts::summaryTicketLine(l.tickets.at(i)));
        line->move(0, kTicketRowHeight * i);
        line->adjustSize();
        line->show();
    }
    // Room for the whole of the last line.
    ui->scrollAreaWidgetContents->setFixedHeight(kTicketRowHeight * l.tickets.size() + 10);
    m_ticketText = receipts::summaryTicketsHtml(l.tickets);
}

void myTrade::updatePrintButton() {
    ui->btnPrint->setEnabled(m_state.canPrint());
}

void myTrade::logPrint() {
    const RequestBody body = requests::logPrint(userSession().token(), ui->time1->dateTime().toSecsSinceEpoch(),
                                                ui->time2->dateTime().toSecsSinceEpoch());
    // Its answer changes nothing on screen; it is only waited for when the program is about to end.
    ++m_printLogsOut;
    gateway::post(this, body, [this](const gateway::Reply& r) {
        const replies::Status logged = replies::printLogged(r);
        if (!logged.ok()) {
            qWarning().noquote() << "print log not recorded:" << replies::shown(logged.message);
        }
        --m_printLogsOut;
        emit printLogFinished();
    });
}

QString myTrade::summaryHtml() const {
    receipts::ShiftSummary s;
    s.shopName = ui->lblskmd->text();
    s.cashier = ui->lblczry->text();
    s.start = ui->lbltime->text();
    s.end = ui->lblendtime->text();
    s.alipayMoney = ui->lblzfbje->text();
    s.alipayRefund = ui->lblzfbtk->text();
    s.wechatMoney = ui->lblwxje->text();
    s.wechatRefund = ui->lblwxtk->text();
    s.total = ui->lblssje->text();
    s.refundTotal = ui->lbltkzje->text();
    s.ticketsHtml = m_ticketText;
    s.printedAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    s.servicePhone = dataConfig().servicePhone();
    s.checkLine = m_checkText;
    return receipts::shiftSummaryHtml(s);
}

void myTrade::on_btnPrint_clicked() {
    if (!m_state.canPrint()) {
        return;
    }
    logPrint();
    const QString warning = receipts::requestedPrintWarning(dataConfig().printerName());
    if (!warning.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Info, warning);
        return;
    }
    // The summary goes with the handover: without it on paper the cashier stays signed in.
    if (!printretry::printOfferingRetry(this, summaryHtml()).accepted()) {
        return;
    }
    if (msgbox::ask(this, QMessageBox::Question, msgbox::Title::Quit, QStringLiteral("是否要退出程序重新登陆?"),
                    msgbox::yesNo()) != QMessageBox::Yes) {
        return;
    }
    const QString open = openMoneyText();
    if (!open.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Tip, open);
        return;
    }
    waitForPrintLog();
    if (!relaunch::restartProgram()) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("无法重新启动程序，请关闭程序后重新打开登录"));
        return;
    }
    close();
}

void myTrade::waitForPrintLog() {
    if (m_printLogsOut == 0) {
        return;
    }
    // Bounded by the request's own time-out.
    setEnabled(false);
    QEventLoop loop;
    connect(this, &myTrade::printLogFinished, &loop, [this, &loop] {
        if (m_printLogsOut == 0) {
            loop.quit();
        }
    });
    loop.exec();
    setEnabled(true);
}

void myTrade::on_time1_dateTimeChanged(const QDateTime&) {
    if (m_state.queryOnDateChange()) {
        getHttpRecord();
    }
}

void myTrade::on_time2_dateTimeChanged(const QDateTime&) {
    if (m_state.queryOnDateChange()) {
        getHttpRecord();
    }
}

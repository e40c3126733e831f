#include "transactions/mytrade.h"

#include "app/shown.h"
#include "core/tilltime.h"
#include "core/receiptservice.h"
#include "core/till.h"
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
constexpr int kTicketRowHeight = 20;

const char* const kTimeFormat = "yyyy-MM-dd hh:mm:ss";

// A period bound from the print-time reply; invalid when absent or unreadable.
QDateTime replyTime(const QString& text) {
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, QString::fromLatin1(kTimeFormat));
}

}  // namespace

myTrade::myTrade(Till& till, QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::myTrade>()), m_till(till) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(QStringLiteral("柚屿岚舟钱包"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    DragHelper::install(this);
    // These show the gateway's texts: never markup.
    windowstyle::plainLabels({ui->lblczry, ui->lblskmd, ui->lbltime, ui->lblendtime});

    const UserSession& session = m_till.session();
    ui->lblczry->setText(session.rname());
    ui->lblskmd->setText(shiftsummary::shopLabel(session.currentShop()));
    addCheckLine();

    // Until the gateway proposes the period: today from midnight to now.
    // The edits show the gateway's wall clock (its zone), as the period it proposes does.
    ui->time2->setDateTime(tilltime::wallFields(m_till.clock(), tilltime::now(m_till.clock())));
    ui->time1->setDateTime(QDateTime(tilltime::today(m_till.clock()), QTime(0, 0)));
    updatePrintButton();

    getPrintTime();
    m_state.waitForPeriod();
}

myTrade::~myTrade() = default;

myTrade* myTrade::openNonBlocking(Till& till) {
    auto* dialog = new myTrade(till);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    windowstyle::centreOnScreen(dialog);
    dialog->show();
    return dialog;
}

void myTrade::on_btnClose_clicked() {
    close();
}

void myTrade::getPrintTime() {
    m_till.totals().printTime(this, [this](const replies::Read<replies::PrintTime>& p) { solt_getPrintTime(p); });
}

void myTrade::solt_getPrintTime(const replies::Read<replies::PrintTime>& period) {
    // Without an answer the edits keep today's midnight and the opening time; the cashier can change them.
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
    m_till.totals().totals(this, tilltime::fromWall(m_till.clock(), ui->time1->dateTime()).toSecsSinceEpoch(),
                           tilltime::fromWall(m_till.clock(), ui->time2->dateTime()).toSecsSinceEpoch(),
                           [this, query](const replies::Read<replies::Totals>& totals) {
                               // An answer to an older period is dropped: only the figures of the period on show
                               // may be printed.
                               if (m_state.finishTotals(query, totals.ok())) {
                                   updatePrintButton();
                                   slot_requestFinished(totals);
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
    m_check = m_till.charges().handoverCheck(this);
    connect(m_check, &reconcile::HandoverCheck::done, this, &myTrade::showCheck);
    connect(m_check, &reconcile::HandoverCheck::failed, this, &myTrade::showCheckFailed);
}

void myTrade::setCheckText(const QString& text, bool disagrees) {
    // The full text is printed and logged; on screen it is cut to the line (the tooltip has all of it).
    m_checkText = text;
    m_checkDetail->setVisible(disagrees);
    windowstyle::setLookState(m_checkLine, "disagrees", disagrees);
    const int room = disagrees ? m_checkDetail->x() - m_checkLine->x() - 4 : 263;
    m_checkLine->setFixedWidth(room);
    m_checkLine->setText(m_checkLine->fontMetrics().elidedText(text, Qt::ElideRight, room - 4));
    m_checkLine->setToolTip(text);
    qDebug().noquote() << "handover check:" << text;
}

void myTrade::startCheck() {
    m_findings.clear();
    setCheckText(QStringLiteral("正在与网关核对本机记录……"), false);
    const UserSession& session = m_till.session();
    m_check->start(tilltime::fromWall(m_till.clock(), ui->time1->dateTime()),
                   tilltime::fromWall(m_till.clock(), shiftsummary::periodEnd(ui->time2->dateTime())), session.shopId(),
                   session.token());
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

void myTrade::slot_requestFinished(const replies::Read<replies::Totals>& totals) {
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

    const QList<QLabel*> old =
        ui->scrollAreaWidgetContents->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
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
    // Its answer changes nothing on screen; it is only waited for when the program is about to end.
    ++m_printLogsOut;
    m_till.totals().logPrint(this, tilltime::fromWall(m_till.clock(), ui->time1->dateTime()).toSecsSinceEpoch(),
                             tilltime::fromWall(m_till.clock(), ui->time2->dateTime()).toSecsSinceEpoch(),
                             [this](const replies::Status& logged) {
                                 if (!logged.ok()) {
                                     qWarning().noquote()
                                         << "print log not recorded:" << display::shown(logged.message);
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
    s.servicePhone = m_till.receipts().servicePhone();
    s.checkLine = m_checkText;
    return receipts::shiftSummaryHtml(s);
}

void myTrade::on_btnPrint_clicked() {
    if (!m_state.canPrint()) {
        return;
    }
    logPrint();
    const QString warning = m_till.receipts().printWarning();
    if (!warning.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Info, warning);
        return;
    }
    // The summary goes with the handover: without it on paper the cashier stays signed in.
    const QString html = summaryHtml();
    if (!printretry::printOfferingRetry(this, [this, &html] { return m_till.receipts().print(html); }).accepted()) {
        return;
    }
    if (msgbox::ask(this, QMessageBox::Question, msgbox::Title::Quit, QStringLiteral("是否要退出程序重新登陆?"),
                    msgbox::yesNo()) != QMessageBox::Yes) {
        return;
    }
    const QString open = m_till.totals().openMoney();
    if (!open.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Tip, open);
        return;
    }
    waitForPrintLog();
    if (!m_till.restartProgram()) {
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

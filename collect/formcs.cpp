#include "collect/formcs.h"

#include "app/shown.h"
#include "core/till.h"
#include "core/tilltime.h"
#include "app/money.h"
#include "collect/collectlogic.h"
#include "collect/formtradeinfo.h"
#include "payments/journal.h"
#include "ui_FormCS.h"
#include "widgets/draghelper.h"
#include "widgets/messagebox.h"
#include "widgets/popupkeyboard.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

namespace {
const Qt::WindowFlags kWindowFlags = Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

// The rows a look-back after a lost journal found, as one list to point at. The index chosen, -1 for none of them,
// -2 when the cashier puts it off (Esc). Return and Space press nothing: choosing a row takes a click.
int pickFromList(const QList<chargecheck::Candidate>& found, const QString& amount) {
    // A window of its own: the payment window's looks would cascade into it otherwise.
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowStaysOnTopHint);
    dialog.setObjectName(QStringLiteral("lostLookBackList"));
    dialog.setWindowTitle(msgbox::titleText(msgbox::Title::Tip));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(
        QStringLiteral("收款记录文件损坏前的一笔收款可能没有记下。查到下列金额为 %1 的收款，请与客户核对：\n"
                       "如果其中一笔是这位客户付的，选中它后点“是本次收款”；都不是请点“都不是”，将向客户收款。")
            .arg(amount),
        &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("candidateList"));
    for (const chargecheck::Candidate& c : found) {
        list->addItem(QStringLiteral("%1  %2元  %3  订单号 %4")
                          .arg(c.undated() ? c.row.payDate + QStringLiteral("（无法识别交易时间）") : c.row.payDate,
                               money::fenToYuan2(c.row.fen.value_or(0)), c.channel, c.row.orderNo()));
    }
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    auto* yes = new QPushButton(QStringLiteral("是本次收款"), &dialog);
    auto* none = new QPushButton(QStringLiteral("都不是"), &dialog);
    auto* later = new QPushButton(QStringLiteral("稍后再定"), &dialog);
    yes->setObjectName(QStringLiteral("btnThisOne"));
    none->setObjectName(QStringLiteral("btnNoneOfThem"));
    for (QPushButton* b : {yes, none, later}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFocusPolicy(Qt::ClickFocus);  // no Space on a focused button either
        buttons->addWidget(b);
    }
    yes->setEnabled(false);
    layout->addLayout(buttons);
    QObject::connect(list, &QListWidget::currentRowChanged, yes, [yes](int row) { yes->setEnabled(row >= 0); });
    int answer = -2;
    QObject::connect(yes, &QPushButton::clicked, &dialog, [&] {
        answer = list->currentRow();
        dialog.accept();
    });
    QObject::connect(none, &QPushButton::clicked, &dialog, [&] {
        answer = -1;
        dialog.accept();
    });
    QObject::connect(later, &QPushButton::clicked, &dialog, &QDialog::reject);
    dialog.resize(560, 320);
    dialog.exec();
    return answer;
}
}  // namespace

FormCS::FormCS(Till& till, QWidget* parent, const QString& amountText)
    : QWidget(parent), ui(new Ui::FormCS), m_till(till), amountText(amountText) {
    m_chargeFen = collect::chargeFen(amountText, m_till.record().centsMode);
    m_controller = m_till.charges().controller(m_chargeFen.value_or(0), this);
    setUp();
}

FormCS::FormCS(Till& till, QWidget* parent, const QString& amountText, qint64 chargeFen)
    : QWidget(parent), ui(new Ui::FormCS), m_till(till), amountText(amountText), m_chargeFen(chargeFen) {
    m_controller = m_till.charges().controller(chargeFen, this);
    setUp();
}

FormCS::FormCS(Till& till, QWidget* parent, const TicketSale& sale)
    : QWidget(parent),
      ui(new Ui::FormCS),
      m_till(till),
      ticketSale(sale),
      amountText(money::fenToYuanTrimmed(sale.fen)) {
    m_chargeFen = collect::chargeFenOf(sale.fen, m_till.record().centsMode);
    m_controller = m_till.charges().controller(m_chargeFen.value_or(0), this);
    setUp();
}

FormCS::FormCS(Till& till, const journal::Attempt& attempt) : QWidget(nullptr), ui(new Ui::FormCS), m_till(till) {
    m_chargeFen = attempt.fen;
    amountText = money::fenToYuan2(attempt.fen);
    m_controller = m_till.charges().controller(attempt.fen, this);
    setUp();
    m_controller->resume(attempt);
    showPhase();
}

void FormCS::setUp() {
    m_bringBackLater.setInterval(200);
    m_bringBackLater.setSingleShot(true);
    connect(&m_bringBackLater, &QTimer::timeout, this, &FormCS::bringBack);
    // Before the form is built, so its children are not polished a second time when the window is made anew.
    setWindowFlags(kWindowFlags);
    ui->setupUi(this);
    // The scanner's keys must reach this window however the main window is being brought up meanwhile.
    popupkeyboard::keep(this);
    windowstyle::centreOnScreen(this);
    ui->btnStopCheck->hide();
    ui->label->setTextFormat(Qt::PlainText);
    m_scanPrompt = ui->label->text();
    DragHelper::install(this);
    ui->lblMoney->setText(shownAmount());
    connectController();
}

FormCS::~FormCS() = default;

FormCS* FormCS::inProgress(Till& till) {
    // A charge's window is its controller's owner.
    ChargeController* current = till.charges().current();
    return current ? qobject_cast<FormCS*>(current->parent()) : nullptr;
}

bool FormCS::bringBackOpenCharge(Till& till) {
    if (FormCS* open = inProgress(till)) {
        open->bringBack();
        return true;
    }
    // Every open charge of the till comes back, whatever its store, each looked up in its own store's listing;
    // one that another running copy of the client is sending stays that copy's.
    QString elsewhere;
    const QList<journal::Attempt> open = till.charges().takeOverOpen(&elsewhere);
    for (const journal::Attempt& a : open) {
        auto* w = new FormCS(till, a);
        w->bringBack();
    }
    const bool shown = !open.isEmpty();
    if (!shown && !elsewhere.isEmpty()) {
        msgbox::warning(nullptr, msgbox::Title::Tip, elsewhere);
        return true;
    }
    return shown;
}

void FormCS::keepPastPage(QWidget* page) {
    const QList<FormCS*> windows = page->findChildren<FormCS*>(QString(), Qt::FindDirectChildrenOnly);
    for (FormCS* w : windows) {
        if (!w->m_controller->moneyMayMove() && !w->m_inBox) {
            continue;
        }
        // The page goes (a POS amount, an F-key, another tile); money that may be moving, or a box being answered,
        // does not go with it: the window becomes a window of its own, and its reply is handled as usual.
        const bool visible = w->isVisible();
        w->setParent(nullptr, kWindowFlags);
        w->m_pageGone = true;
        if (visible) {
            w->bringBack();
        }
    }
}

void FormCS::bringBack() {
    if (m_inBox) {
        return;  // the box in front comes first; the window follows when it is answered
    }
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && !isAncestorOf(modal)) {
        // Another window's box (or a modal dialog) is being answered: a stay-on-top popup would cover it and take its
        // keys. This window comes up once it is answered.
        if (!m_bringBackLater.isActive()) {
            m_bringBackLater.start();
        }
        return;
    }
    m_bringBackLater.stop();
    show();
    raise();  // in front of the stay-on-top main window, also when that was raised after this one
    activateWindow();
    popupkeyboard::take(this);
}

QString FormCS::shownAmount() const {
    // The exact amount charged, so the customer sees what is taken.
    return m_chargeFen ? collect::chargeDisplayText(*m_chargeFen) : amountText + QStringLiteral("元");
}

QString FormCS::statusText() const {
    return ui->label->text();
}

bool FormCS::isCharging() const {
    return m_controller->phase() == ChargeController::Phase::Sending;
}

bool FormCS::isChecking() const {
    const ChargeController::Phase p = m_controller->phase();
    return p == ChargeController::Phase::Checking || p == ChargeController::Phase::LookingBack ||
           p == ChargeController::Phase::Unresolved;
}

void FormCS::setRequestTimeout(int ms) {
    chargecheck::Timing t = m_controller->timing();
    t.chargeTimeoutMs = ms;
    m_controller->setTiming(t);
}

void FormCS::setCheckTiming(const chargecheck::Timing& timing) {
    m_controller->setTiming(timing);
}

void FormCS::connectController() {
    ChargeController* c = m_controller;
    connect(c, &ChargeController::phaseChanged, this, &FormCS::showPhase);
    connect(&m_till.charges(), &ChargeService::salePaid, this,
            [this](ChargeController* paid, const Order& sale, const std::optional<receipts::PrintResult>& printed) {
                if (paid == m_controller) {
                    completeSale(sale, printed);
                }
            });
    connect(c, &ChargeController::refused, this,
            [this](const QString& message) { reportFailure(display::shown(message)); });
    connect(c, &ChargeController::notSent, this,
            [this] { reportFailure(QStringLiteral("客户尚未输入密码或网络异常！请查看本机网络或者重新收款！")); });
    connect(c, &ChargeController::lookBackFailed, this, [this] {
        reportFailure(QStringLiteral("暂时无法核对本笔之前的扫码是否已经付款，本次没有收款。\n请稍后重新扫码。"));
    });
    connect(c, &ChargeController::journalTrouble, this, [this](const QString& why) { reportFailure(why); });
    // Asked outside the reply handlers, so a box's own event loop does not run inside them.
    connect(c, &ChargeController::candidatesFound, this, [this](const QList<chargecheck::Candidate>& found) {
        QTimer::singleShot(0, this, [this, found] { askAboutCandidates(found); });
    });
    connect(c, &ChargeController::unresolved, this,
            [this] { QTimer::singleShot(0, this, &FormCS::askAboutUnresolved); });
}

void FormCS::showPhase() {
    ui->btnStopCheck->hide();
    switch (m_controller->phase()) {
        case ChargeController::Phase::Ready:
        case ChargeController::Phase::Paid:
            ui->label->setText(m_scanPrompt);
            break;
        case ChargeController::Phase::Sending:
            ui->label->setText(QStringLiteral("正在收款，请稍候……"));
            break;
        case ChargeController::Phase::LookingBack:
            if (!m_laterCandidates.isEmpty()) {
                ui->label->setText(QStringLiteral("查到金额相同的收款，请与客户核对后点“处理”回答。"));
                ui->btnStopCheck->setText(QStringLiteral("处理"));
                ui->btnStopCheck->show();
                break;
            }
            ui->label->setText(QStringLiteral("正在核对本笔之前的扫码是否已经付款，请稍候……"));
            break;
        case ChargeController::Phase::Checking:
            ui->label->setText(
                m_controller->resumed()
                    ? QStringLiteral("上次未确认的收款（%1，付款码 %2），正在确认结果，请稍候……")
                          .arg(tilltime::text(m_till.clock(), m_controller->sentAt()), m_controller->maskedCode())
                    : QStringLiteral("正在确认本次收款结果，请稍候，请勿重复扫码……"));
            ui->btnStopCheck->setText(QStringLiteral("停止确认"));
            ui->btnStopCheck->show();
            break;
        case ChargeController::Phase::Unresolved:
            ui->label->setText(m_controller->unlistableStore().isEmpty()
                                   ? QStringLiteral("本次收款结果未能确认，客户可能已经付款！")
                                   : QStringLiteral("这笔收款属于门店编号 %1，当前账户查不到该门店的交易。")
                                         .arg(m_controller->unlistableStore()));
            ui->btnStopCheck->setText(QStringLiteral("处理"));
            ui->btnStopCheck->show();
            break;
    }
}

void FormCS::on_close_btn_clicked() {
    close();
}

void FormCS::on_btnStopCheck_clicked() {
    if (m_controller->phase() == ChargeController::Phase::LookingBack && !m_laterCandidates.isEmpty()) {
        const QList<chargecheck::Candidate> again = m_laterCandidates;  // the question clears the member
        askAboutCandidates(again);
    } else if (m_controller->phase() == ChargeController::Phase::Checking) {
        m_controller->stopCheck();
    } else if (m_controller->phase() == ChargeController::Phase::Unresolved) {
        askAboutUnresolved();
    }
}

void FormCS::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();  // hides only while the sale's money may be moving
        return;
    }
    if (m_controller->phase() != ChargeController::Phase::Ready) {
        // Nothing typed now may start a charge.
        scanBuffer.clear();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        charge();
        scanBuffer.clear();
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
    if (m_inBox) {
        return;  // a modal box closes popups; the window comes back once the box is answered
    }
    if (m_controller->moneyMayMove()) {
        // The charge goes on: the window outlives its page (the cashier may switch pages meanwhile), and its
        // outcome is still handled.
        if (parent()) {
            setParent(nullptr, kWindowFlags);
        }
        return;
    }
    deleteLater();
}

void FormCS::charge() {
    if (!m_chargeFen) {
        reportFailure(QStringLiteral("收款金额格式不正确"));
        return;
    }
    if (ticketSale) {
        m_controller->setTicketSale(ticketSale->selection, ticketSale->tickets);
    }
    QString why;
    if (!m_controller->charge(scanBuffer, &why)) {
        if (FormCS* other = inProgress(m_till); other && other != this) {
            // Another sale's charge is open: that one comes first.
            hide();
            other->bringBack();
            return;
        }
        reportFailure(why);
    }
}

void FormCS::showOnDisplay(const CustomerDisplay& display) {
    if (!display || !m_chargeFen) {
        return;
    }
    m_display = display;
    m_display.showTotal(*m_chargeFen);
}

void FormCS::completeSale(const Order& sale, const std::optional<receipts::PrintResult>& printed) {
    if (m_display.clear) {
        m_display.clear();
    }
    close();
    auto* info = new FormTradeInfo(m_till.receipts(), sale, printed);
    info->show();
    // Shown: the next start need not tell the cashier of this sale.
    if (m_till.journal() && m_controller->attemptId()) {
        m_till.journal()->resultShown(m_controller->attemptId());
    }
    // In front of the main window, also for a charge brought back after sign-in while that window was coming up.
    info->raise();
    info->activateWindow();
    QTimer::singleShot(0, info, [info] {
        info->raise();
        info->activateWindow();
    });
}

template <class ShowBox>
auto FormCS::showBox(ShowBox show) {
    m_inBox = true;
    const auto answer = show();
    m_inBox = false;
    return answer;
}

void FormCS::reportFailure(const QString& text) {
    showBox([&] { return msgbox::critical(this, msgbox::Title::Tip, text); });
    if (m_pageGone && !m_controller->moneyMayMove()) {
        close();  // its page is gone: the cashier starts again from the page on screen
        return;
    }
    // The cashier scans again in the same window.
    scanBuffer.clear();
    bringBack();
}

void FormCS::askAboutCandidates(const QList<chargecheck::Candidate>& found) {
    if (found.isEmpty()) {
        return;  // nothing to ask: nothing is declined (a look-back's decline sends the charge)
    }
    m_laterCandidates.clear();
    const bool lookBack = m_controller->phase() == ChargeController::Phase::LookingBack;
    bringBack();
    // The cashier's answer: one of them is this sale, none is, or it is put off (Esc: nothing is sent; 处理 asks
    // again).
    std::optional<chargecheck::Candidate> chosen;
    bool putOff = false;
    if (m_controller->lostLookBack()) {
        const int row = showBox([&] { return pickFromList(found, money::fenToYuan2(m_controller->fen()) + "元"); });
        putOff = row == -2;
        if (row >= 0) {
            chosen = found.at(row);
        }
    } else {
        for (const chargecheck::Candidate& c : found) {
            const QMessageBox::StandardButton answer = isThisSale(c, lookBack);
            if (answer == QMessageBox::Yes) {
                chosen = c;
                break;
            }
            if (answer != QMessageBox::No) {
                putOff = true;
                break;
            }
        }
    }
    if (chosen) {
        m_controller->confirm(*chosen);
        return;
    }
    if (putOff) {
        m_laterCandidates = found;
        showPhase();
        bringBack();
        return;
    }
    m_controller->decline(found);
    bringBack();
}

QMessageBox::StandardButton FormCS::isThisSale(const chargecheck::Candidate& c, bool lookBack) {
    // The scan it may be the payment of, with its time and code, beside the transaction's time: a sale of the same
    // amount at another till can be told apart.
    const QDateTime scanAt = c.attemptAt.isValid() ? c.attemptAt : m_controller->sentAt();
    const QString code = c.attemptAt.isValid() ? c.attemptCode : m_controller->maskedCode();
    const QString scan = lookBack ? QStringLiteral("之前一次扫码：%1，付款码 %2（当时没有收款成功）")
                                  : QStringLiteral("本次扫码时间：%1，付款码 %2");
    const QString text =
        QStringLiteral(
            "查到一笔金额相同的收款：\n\n"
            "金额：%1元\n"
            "支付方式：%2\n"
            "交易时间：%3\n"
            "订单号：%4\n"
            "（%5）\n\n"
            "这笔是不是本次收款？%6")
            .arg(money::fenToYuan2(c.row.fen.value_or(0)), c.channel,
                 c.undated() ? c.row.payDate + QStringLiteral("（无法识别交易时间，请特别核对）") : c.row.payDate,
                 c.row.orderNo(),
                 scan.arg(scanAt.isValid() ? tilltime::text(m_till.clock(), scanAt) : QStringLiteral("—"),
                          code.isEmpty() ? QStringLiteral("—") : code),
                 // Both answers take a click, or their letter once the box has been up a moment.
                 lookBack ? QStringLiteral("请与客户核对后点选，或按 Y / N 键；选“不是”将向客户收款。")
                          : QStringLiteral("请与客户核对后点选，或按 Y / N 键。"));
    if (lookBack) {
        // Before a new charge both answers matter: 不是 sends it. Neither is reached by Return or Space (a scanner's
        // trailing Return, a hurried hand); Esc puts the question off and sends nothing.
        return showBox([&] {
            return msgbox::ask(this, QMessageBox::Question, msgbox::Title::Tip, text,
                               {{QMessageBox::Yes, QStringLiteral("是本次收款(&Y)")},
                                {QMessageBox::No, QStringLiteral("不是(&N)")},
                                {QMessageBox::Cancel, QStringLiteral("稍后再定")}},
                               QMessageBox::NoButton, QMessageBox::Yes | QMessageBox::No);
        });
    }
    // Return (a scanner's trailing one, or a hurried cashier's) answers 不是, which sends nothing here: only a
    // deliberate click (or Y, once the box has been up a moment) says a stranger's sale of the same amount is this
    // customer's.
    return showBox([&] {
        return msgbox::ask(
            this, QMessageBox::Question, msgbox::Title::Tip, text,
            {{QMessageBox::Yes, QStringLiteral("是本次收款(&Y)")}, {QMessageBox::No, QStringLiteral("不是(&N)")}},
            QMessageBox::No, QMessageBox::Yes);
    });
}

void FormCS::askAboutUnresolved() {
    if (m_controller->phase() != ChargeController::Phase::Unresolved || m_inBox) {
        return;
    }
    bringBack();
    const auto choice = showBox([&] {
        const QString store = m_controller->unlistableStore();
        const QString text =
            store.isEmpty() ? QStringLiteral(
                                  "未查到这笔收款（%1，扫码时间 %2），客户可能已经付款！\n"
                                  "请与客户核对付款记录，或在“交易查询”中查看。")
                                  .arg(shownAmount(), tilltime::text(m_till.clock(), m_controller->sentAt()))
                            : QStringLiteral(
                                  "这笔收款（%1，扫码时间 %2）是在门店编号 %3 收的，当前登录的账户查不到该门店的交易，"
                                  "客户可能已经付款！\n"
                                  "请退出后用门店编号 %3 的账户登录，程序会自动核对；或与客户核对付款记录后再选择。")
                                  .arg(shownAmount(), tilltime::text(m_till.clock(), m_controller->sentAt()), store);
        return msgbox::ask(this, QMessageBox::Warning, msgbox::Title::Tip, text,
                           {{QMessageBox::Retry, QStringLiteral("继续确认")},
                            {QMessageBox::Discard, QStringLiteral("客户未付款")},
                            {QMessageBox::Cancel, QStringLiteral("稍后处理")}},
                           QMessageBox::Retry);
    });
    if (choice == QMessageBox::Retry) {
        m_controller->checkAgain();
    } else if (choice == QMessageBox::Discard) {
        const auto sure = showBox([&] {
            return msgbox::ask(
                this, QMessageBox::Warning, msgbox::Title::Tip,
                QStringLiteral("请确认：已与客户核对，客户没有为这笔收款付款。\n"
                               "确认后这笔记为未收款，可以重新扫码收款。"),
                {{QMessageBox::Yes, QStringLiteral("确认未付款")}, {QMessageBox::No, QStringLiteral("返回")}},
                QMessageBox::No);
        });
        QString why;
        if (sure == QMessageBox::Yes && !m_controller->release(&why)) {
            showBox([&] { return msgbox::critical(this, msgbox::Title::Tip, why); });
        } else if (sure == QMessageBox::Yes && m_controller->resumed()) {
            // A sale of an earlier run: its page and its tickets are gone, so it is not charged again from here; the
            // cashier starts it anew from the page.
            close();
            return;
        }
    }
    scanBuffer.clear();
    bringBack();
}

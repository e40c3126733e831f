#include "collect/formtradeinfo.h"

#include "ui_FormTradeInfo.h"
#include "widgets/draghelper.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kTicketRowHeight = 20;
}  // namespace

FormTradeInfo::FormTradeInfo(ReceiptService& printer, const Order& saleIn,
                             const std::optional<receipts::PrintResult>& printed, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::FormTradeInfo),
      m_receipts(printer),
      sale(saleIn),
      m_receipt(receipts::saleReceiptOf(saleIn)) {
    // Before the form is built: changing them afterwards makes the window anew and polishes every child again
    // through the style sheet, a good part of the time from the charge's answer to this window.
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->setupUi(this);
    m_designedHeight = height();
    setAttribute(Qt::WA_DeleteOnClose);
    windowstyle::centreOnScreen(this);
    ui->close_btn->setShortcut(QKeySequence(Qt::Key_Escape));
    ui->print_btn->setShortcut(QKeySequence(Qt::Key_Enter));
    ui->pushButton->setShortcut(QKeySequence(Qt::Key_Return));
    DragHelper::install(this);
    ui->pushButton->installEventFilter(this);
    ui->print_btn->installEventFilter(this);

    // Gateway texts, shown as they are: never markup. The labels show what the receipt prints.
    for (QLabel* label : {ui->label_operate, ui->label_sys_order, ui->label_pay_way, ui->label_money}) {
        label->setTextFormat(Qt::PlainText);
    }
    ui->label_operate->setText(m_receipt.operatorName);
    ui->label_sys_order->setText(m_receipt.orderNo);
    ui->label_pay_way->setText(m_receipt.payWay);
    ui->label_money->setText(m_receipt.moneyText);
    // The whole amount on one line: a large amount gets a smaller type rather than losing its last digits.
    QFont moneyFont = ui->label_money->font();
    while (moneyFont.pointSize() > 6 &&
           QFontMetrics(moneyFont).horizontalAdvance(ui->label_money->text()) > ui->label_money->width()) {
        moneyFont.setPointSize(moneyFont.pointSize() - 1);
    }
    ui->label_money->setFont(moneyFont);

    const QList<SoldTicket> sold = receipts::ticketsSoldOf(sale);
    for (int i = 0; i < sold.size(); ++i) {
        auto* label = new QLabel(ui->scrollAreaWidgetContents);
        label->setTextFormat(Qt::PlainText);
        label->setText(receipts::ticketLine(sold.at(i)));
        label->move(0, kTicketRowHeight * i);
        label->adjustSize();
    }
    if (!sold.isEmpty()) {
        ui->scrollAreaWidgetContents->setFixedHeight(kTicketRowHeight * sold.size() + 10);
    }
    // A notice that the receipt did not print is part of the window from the start.
    if (printed) {
        showPrintResult(*printed);
    }
}

FormTradeInfo::~FormTradeInfo() = default;

void FormTradeInfo::on_close_btn_clicked() {
    close();
}
void FormTradeInfo::on_print_btn_clicked() {
    close();
}
void FormTradeInfo::on_pushButton_clicked() {
    close();
}

void FormTradeInfo::showEvent(QShowEvent* event) {
    m_opened.start();
    QWidget::showEvent(event);
}

bool FormTradeInfo::eventFilter(QObject* watched, QEvent* event) {
    // Judged when the key arrives (the button's click follows a short press animation later).
    if (event->type() == QEvent::Shortcut && (watched == ui->pushButton || watched == ui->print_btn) &&
        m_opened.isValid() && m_opened.elapsed() < kIgnoreReturnMs) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FormTradeInfo::showPrintResult(const receipts::PrintResult& result) {
    const int designedHeight = m_designedHeight;
    if (result.accepted()) {
        if (m_printFailure) {
            m_printFailure->hide();
            m_reprint->hide();
            setFixedHeight(designedHeight);
        }
        return;
    }
    if (!m_printFailure) {
        m_printFailure = new QLabel(this);
        m_printFailure->setObjectName(QStringLiteral("lblPrintFailed"));
        m_printFailure->setWordWrap(true);
        m_printFailure->setTextFormat(Qt::PlainText);
        m_printFailure->move(12, designedHeight - 6);
        m_reprint = new QPushButton(QStringLiteral("重新打印"), this);
        m_reprint->setObjectName(QStringLiteral("btnReprint"));
        m_reprint->setFocusPolicy(Qt::NoFocus);
        m_reprint->resize(ui->print_btn->width(), 40);
        connect(m_reprint, &QPushButton::clicked, this, [this] { showPrintResult(m_receipts.printSale(m_receipt)); });
    }
    // The window grows below its designed controls by what the notice needs, whatever the printer's name.
    // A printer's name may be one long word: it may break anywhere rather than run past the window's edge.
    receipts::PrintResult shown = result;
    shown.printerName.clear();
    for (const QChar c : result.printerName) {
        shown.printerName += c;
        shown.printerName += QChar(0x200B);
    }
    m_printFailure->setText(receipts::printFailureText(shown));
    const int textWidth = width() - 24;
    m_printFailure->resize(textWidth, m_printFailure->heightForWidth(textWidth));
    m_reprint->move(ui->print_btn->x(), m_printFailure->geometry().bottom() + 1 + 6);
    m_printFailure->show();
    m_reprint->show();
    setFixedHeight(m_reprint->geometry().bottom() + 1 + 12);
}

#include "transactions/formjiaoyicx.h"

#include "app/money.h"
#include "core/tilltime.h"
#include "core/receiptservice.h"
#include "core/till.h"
#include "transactions/exportlogic.h"
#include "transactions/loadingdialog.h"
#include "transactions/ordertablemodel.h"
#include "transactions/querylogic.h"
#include "ui_FormJiaoYiCX.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"
#include "widgets/printretry.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

namespace {

// A status cut short keeps its beginning ("已退款,…"): the end of it says less.
class ElideRightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

// Order numbers and sums are never cut: a text wider than its cell is drawn narrower, then smaller, until it fits
// the column's designed width (a sum in the tens of millions, a long order number).
class FitTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        constexpr int kNarrowestStretch = 75;
        constexpr qreal kSmallestPoints = 5;
        const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1;
        const int room = option->rect.width() - 2 * margin;
        if (room <= 0 || option->text.isEmpty() || option->font.pointSizeF() <= 0) {
            return;
        }
        QFont font = option->font;
        int stretch = QFont::Unstretched;
        while (QFontMetrics(font).horizontalAdvance(option->text) > room) {
            if (stretch > kNarrowestStretch) {
                stretch -= 5;
                font.setStretch(stretch);
            } else if (font.pointSizeF() > kSmallestPoints) {
                font.setPointSizeF(std::max(kSmallestPoints, font.pointSizeF() - 0.5));
            } else {
                break;
            }
        }
        option->font = font;
        option->fontMetrics = QFontMetrics(font);
    }
};

}  // namespace

FormJiaoYiCX::FormJiaoYiCX(Till& till, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::FormJiaoYiCX>()),
      m_till(till),
      m_loading(std::make_unique<LoadingDialog>()),
      m_timeoutMs(ListingService::kTimeoutMs) {
    ui->setupUi(this);
    connect(m_loading.get(), &LoadingDialog::cancelRequested, this, &FormJiaoYiCX::cancelQuery);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    const ComConfig& config = m_till.record();
    if (config.refundCardEnabled) {
        ui->lbl_CardName->setText(config.itemName() + QStringLiteral("名"));
        // The item name is the merchant's own word and may be long: the field moves along rather than cutting it.
        const QRect label = ui->lbl_CardName->geometry();
        const int width = qBound(
            label.width(), QFontMetrics(ui->lbl_CardName->font()).horizontalAdvance(ui->lbl_CardName->text()) + 4, 240);
        ui->lbl_CardName->setGeometry(label.x(), label.y(), width, label.height());
        ui->txtCardNo->move(label.x() + width + 4, ui->txtCardNo->y());
    } else {
        ui->lbl_CardName->hide();
        ui->txtCardNo->hide();
    }

    // 退款 only with the refund function on (the designed 房间号 column is never shown).
    m_orders = new OrderTableModel(config.refundEnabled != 0, this);
    setUpTable();
    // The counts are the gateway's texts.
    windowstyle::plainLabels({ui->wechat_num, ui->apliy_num, ui->jd_num, ui->yl_num, ui->total_num});

    const QList<QLabel*> summary = ui->frame_sum->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : summary) {
        // Captions are the designer's label_N; the others show counts and sums.
        const bool figure = !label->objectName().startsWith(QLatin1String("label"));
        m_summaryLabels.push_back({label, label->geometry(), label->font(), figure});
    }

    ui->page_lineEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]*$")), ui->page_lineEdit));
    ui->page_lineEdit->setMaxLength(6);

    // The gateway's day: its listing dates are on its wall clock, whatever this PC's zone.
    const QDate today = tilltime::today(m_till.clock());
    ui->start_dateEdit->setDateTime(QDateTime(today, QTime(0, 0, 0)));
    ui->end_dateEdit->setDateTime(QDateTime(today, QTime(23, 59, 59)));

    ui->query_btn->setShortcut(QKeySequence(Qt::Key_Enter));
    ui->btn_mytrade->setEnabled(false);
}

FormJiaoYiCX::~FormJiaoYiCX() = default;

void FormJiaoYiCX::setUpTable() {
    QTableView* table = ui->tableWidget;
    table->setModel(m_orders);
    table->setFocusPolicy(Qt::NoFocus);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setHidden(true);
    // Order numbers and times are long runs of digits: a face with narrow figures keeps them whole where the
    // designed face is missing (it falls back to a wide one).
    QFont font = table->font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC")});
    table->setFont(font);
    // Where an order number is still too long, its distinctive end stays in sight.
    table->setTextElideMode(Qt::ElideMiddle);
    for (int column : {0, 1, 2}) {
        table->setItemDelegateForColumn(column, new FitTextDelegate(table));
    }
    table->setItemDelegateForColumn(4, new ElideRightDelegate(table));
    // The columns always fit the page: the order number's column gives up what the scroll bar takes.
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int others = 0;
    for (int c = 1; c < m_orders->columnCount(); ++c) {
        const int width = c == 5 ? 140 : 70;
        table->setColumnWidth(c, width);
        others += width;
    }
    const int room = table->width() - 2 * table->frameWidth() - table->verticalScrollBar()->sizeHint().width();
    table->setColumnWidth(0, qMin(200, room - others));
}

void FormJiaoYiCX::setRefundOpener(RefundOpener opener) {
    m_refundOpener = std::move(opener);
    // Rows already on screen follow: their buttons act from now on.
    if (refundColumn() < 0) {
        return;
    }
    for (int row = 0; row < m_orders->orderCount(); ++row) {
        if (auto* button = qobject_cast<QPushButton*>(
                ui->tableWidget->indexWidget(m_orders->index(row, m_orders->refundColumn())))) {
            const Order order = m_orders->order(row);
            button->setEnabled(m_refundOpener && transactions::refundButtonKind(order.finalinfo, order.payChannel) !=
                                                     transactions::RefundButton::NotSupported);
        }
    }
}

void FormJiaoYiCX::setShiftSummaryOpener(ShiftSummaryOpener opener) {
    m_shiftSummaryOpener = std::move(opener);
    ui->btn_mytrade->setEnabled(bool(m_shiftSummaryOpener));
}

void FormJiaoYiCX::on_query_btn_clicked() {
    queryPage(1);
}

void FormJiaoYiCX::on_up_page_btn_clicked() {
    const transactions::PageStep step = transactions::previousPage(m_currentPage);
    if (step.send) {
        queryPage(step.page);
    }
}

void FormJiaoYiCX::on_next_page_btn_clicked() {
    const transactions::PageStep step = transactions::nextPage(m_currentPage, ui->total_page->text());
    if (step.send) {
        queryPage(step.page);
    }
}

void FormJiaoYiCX::on_query_page_btn_clicked() {
    const transactions::PageStep step = transactions::goToPage(ui->page_lineEdit->text(), ui->total_page->text());
    if (!step.warning.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Error, step.warning);
        return;
    }
    if (step.send) {
        queryPage(step.page);
    }
}

void FormJiaoYiCX::on_btn_mytrade_clicked() {
    if (m_shiftSummaryOpener) {
        m_shiftSummaryOpener();
    }
}

ListingService::Filter FormJiaoYiCX::listingFilter() const {
    ListingService::Filter q;
    q.tradeNo = ui->txtTradeNo->text();
    q.startDate = ui->start_dateEdit->text();
    q.endDate = ui->end_dateEdit->text();
    // A hidden hand-tag field filters nothing, whatever it held.
    q.cardNo = ui->txtCardNo->isHidden() ? QString() : ui->txtCardNo->text();
    return q;
}

void FormJiaoYiCX::on_btnExport_clicked() {
    const QString suggested =
        QStringLiteral("交易列表_%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("导出交易列表"), QDir(folder).filePath(suggested), QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    transactions::ListExport exporter(m_till.listing());
    exporter.setTimeout(m_timeoutMs);
    // No parent: the page may be deleted while the dialog runs (the serial bridge switches pages), and the dialog
    // must not go with it.
    QProgressDialog progress(QStringLiteral("正在读取第 1 页……"), QStringLiteral("取消"), 0, 0);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowTitle(QStringLiteral("导出交易列表"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumWidth(320);
    progress.move(mapToGlobal(rect().center()) - QPoint(160, 60));
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QString failure;
    bool finished = false;
    connect(&exporter, &transactions::ListExport::progress, &progress, [&progress](int page, int total) {
        progress.setMaximum(total);
        progress.setValue(page);
        progress.setLabelText(
            page < total ? QStringLiteral("已读取 %1/%2 页，正在读取第 %3 页……").arg(page).arg(total).arg(page + 1)
                         : QStringLiteral("已读取 %1/%2 页，正在保存……").arg(page).arg(total));
    });
    connect(&exporter, &transactions::ListExport::done, &progress, [&] {
        finished = true;
        progress.close();
    });
    connect(&exporter, &transactions::ListExport::failed, &progress, [&](const QString& why) {
        failure = why;
        finished = true;
        progress.close();
    });
    QString why;
    if (!exporter.start(listingFilter(), path, &why)) {
        msgbox::critical(this, msgbox::Title::Error, why);
        return;
    }
    QPointer<FormJiaoYiCX> self(this);
    if (!finished) {
        progress.exec();
    }
    if (!self) {
        return;
    }
    if (!finished) {
        exporter.cancel();  // 取消: nothing is left behind
        msgbox::information(this, msgbox::Title::Action, QStringLiteral("已取消导出，没有保存文件。"));
        return;
    }
    if (!failure.isEmpty()) {
        msgbox::critical(this, msgbox::Title::Error, QStringLiteral("导出失败：%1").arg(failure));
        return;
    }
    msgbox::information(this, msgbox::Title::Action,
                        QStringLiteral("已导出 %1 笔交易，合计 %2 元，退款 %3 元。\n%4")
                            .arg(exporter.rows())
                            .arg(money::fenToYuan2(exporter.moneyFen()), money::fenToYuan2(exporter.refundFen()),
                                 QDir::toNativeSeparators(path)));
}

void FormJiaoYiCX::queryPage(int page) {
    m_requestedPage = page;
    m_waiting = true;
    m_request =
        m_till.listing().page(this, listingFilter(), page, m_timeoutMs,
                              [this](const replies::Read<replies::ListingPage>& p) { slot_requestFinished(p); });
    if (!m_waiting) {
        return;  // answered already: there is nothing to wait for
    }
    // Over the middle of the page, whatever the screen.
    const QPoint centre = mapToGlobal(rect().center());
    m_loading->move(centre - QPoint(m_loading->width() / 2, m_loading->height() / 2));
    // Only the reply ends the wait: a dialog closed by Esc opens again, so no second query can start meanwhile.
    // The page may be deleted while waiting (its main window switched pages); then nothing of it is touched.
    QPointer<FormJiaoYiCX> self(this);
    while (self && m_waiting) {
        m_loading->exec();
    }
}

void FormJiaoYiCX::cancelQuery() {
    if (!m_waiting) {
        return;
    }
    // The request runs out on its own (a query changes nothing at the gateway); only its answer is not wanted.
    if (m_request) {
        m_request->disconnect(this);
    }
    m_request = nullptr;
    m_waiting = false;
    m_loading->close();
    // Back to the main window, so its keys (F1 for the amount page) work at once.
    window()->activateWindow();
    qDebug().noquote() << "transaction query cancelled: page" << m_requestedPage;
}

void FormJiaoYiCX::slot_requestFinished(const replies::Read<replies::ListingPage>& page) {
    m_request = nullptr;
    m_waiting = false;
    m_loading->close();
    // Failures leave the rows, the labels and the page's orders as they were: the row buttons still act on those rows.
    if (!page.ok()) {
        msgbox::critical(this, msgbox::Title::Error, transactions::listingFailure(page.status));
        return;
    }
    m_currentPage = m_requestedPage;

    const transactions::Summary s = transactions::summaryOf(page.value);
    ui->wechat_num->setText(s.wechat_num);
    ui->wechat_money->setText(s.wechat_money);
    ui->apliy_num->setText(s.apliy_num);
    ui->apliy_money->setText(s.apliy_money);
    ui->jd_num->setText(s.jd_num);
    ui->jd_money->setText(s.jd_money);
    ui->yl_num->setText(s.yl_num);
    ui->yl_money->setText(s.yl_money);
    ui->total_num->setText(s.total_num);
    ui->sk_total->setText(s.sk_total);
    ui->total_rfee->setText(s.total_rfee);
    ui->total_page->setText(QString::number(s.totalPage));
    ui->current_page->setText(transactions::shownCurrentPage(m_currentPage, s.totalPage, ui->current_page->text()));
    fitSummary();

    showOrders(page.value.rows);
    const int rows = page.value.rows.size();
    qDebug().noquote() << QStringLiteral(
                              "transaction page shown: page=%1 total_page=%2 rows=%3 total_num=%4 sk_total=%5 "
                              "total_rfee=%6 wechat_num=%7 wechat_money=%8 apliy_num=%9 apliy_money=%10")
                              .arg(ui->current_page->text(), ui->total_page->text())
                              .arg(rows)
                              .arg(s.total_num, s.sk_total, s.total_rfee, s.wechat_num, s.wechat_money, s.apliy_num,
                                   s.apliy_money);
}

void FormJiaoYiCX::fitSummary() {
    // Room to the frame's right edge, as the design leaves it; the smallest face a figure may get.
    constexpr int kRightMargin = 6;
    constexpr qreal kSmallestPoints = 7;
    const int available = ui->frame_sum->width() - kRightMargin;
    for (qreal shrink = 0;; shrink += 0.5) {
        // Sums beyond what a row holds even packed tight get a smaller face, step by step, until they fit.
        bool smallest = true;
        QVector<transactions::LabelSlot> boxes;
        for (const SummaryLabel& s : m_summaryLabels) {
            QFont font = s.font;
            if (s.figure && font.pointSizeF() > kSmallestPoints) {
                font.setPointSizeF(std::max(kSmallestPoints, font.pointSizeF() - shrink));
                smallest = smallest && font.pointSizeF() <= kSmallestPoints;
            }
            s.label->setFont(font);
            s.label->ensurePolished();
            boxes.append({s.rect.y(), s.rect.x(), s.rect.width(), s.label->sizeHint().width()});
        }
        std::optional<QVector<transactions::LabelPlace>> places = transactions::fitSummaryLabels(boxes, available);
        if (!places && !smallest) {
            continue;
        }
        const QVector<transactions::LabelPlace> placed = places ? *places : transactions::packSummaryLabels(boxes);
        for (size_t i = 0; i < m_summaryLabels.size(); ++i) {
            const SummaryLabel& s = m_summaryLabels[i];
            s.label->setGeometry(placed[int(i)].x, s.rect.y(), placed[int(i)].width, s.rect.height());
        }
        return;
    }
}

void FormJiaoYiCX::showOrders(const QList<Order>& orders) {
    // A gateway that sends more than a page gets rows added, not lost; the old rows' buttons go with the reset.
    m_orders->setOrders(orders);
    for (int row = 0; row < orders.size(); ++row) {
        addRowButtons(row, orders.at(row));
    }
}

void FormJiaoYiCX::addRowButtons(int row, const Order& order) {
    QTableView* table = ui->tableWidget;
    // The row buttons are made in the table, not outside it: under the application's style sheet a button keeps the
    // font of the widget it is made in, and the table's is the page's.
    if (refundColumn() >= 0) {
        const transactions::RefundButton kind = transactions::refundButtonKind(order.finalinfo, order.payChannel);
        auto* refund = new QPushButton(transactions::refundButtonText(kind), table->viewport());
        refund->setObjectName(QStringLiteral("refundButton"));
        refund->setFocusPolicy(Qt::NoFocus);
        refund->setEnabled(kind != transactions::RefundButton::NotSupported && m_refundOpener);
        connect(refund, &QPushButton::clicked, this, &FormJiaoYiCX::onBtnClicked);
        table->setIndexWidget(m_orders->index(row, refundColumn()), refund);
    }
    auto* reprint = new QPushButton(QStringLiteral("重打印"), table->viewport());
    reprint->setObjectName(QStringLiteral("reprintButton"));
    reprint->setFocusPolicy(Qt::NoFocus);
    connect(reprint, &QPushButton::clicked, this, &FormJiaoYiCX::onBtnPrinterClicked);
    table->setIndexWidget(m_orders->index(row, reprintColumn()), reprint);
}

int FormJiaoYiCX::refundColumn() const {
    return m_orders->refundColumn();
}

int FormJiaoYiCX::reprintColumn() const {
    return m_orders->reprintColumn();
}

int FormJiaoYiCX::senderRow(int column) const {
    auto* button = qobject_cast<QPushButton*>(sender());
    if (!button || column < 0) {
        return -1;
    }
    for (int row = 0; row < m_orders->orderCount(); ++row) {
        if (ui->tableWidget->indexWidget(m_orders->index(row, column)) == button) {
            return row;
        }
    }
    return -1;
}

void FormJiaoYiCX::onBtnClicked() {
    const int row = senderRow(refundColumn());
    if (row < 0 || !m_refundOpener) {
        return;
    }
    const Order order = m_orders->order(row);
    QPointer<FormJiaoYiCX> self(this);
    m_refundOpener(order);
    // Whatever happened in the dialog, the page shows the transaction's state as the gateway has it now.
    if (self) {
        queryPage(m_currentPage);
    }
}

void FormJiaoYiCX::onBtnPrinterClicked() {
    ReceiptService& printer = m_till.receipts();
    const QString warning = printer.printWarning();
    if (!warning.isEmpty()) {
        msgbox::warning(this, msgbox::Title::Info, warning);
        return;
    }
    const int row = senderRow(reprintColumn());
    if (row < 0) {
        return;
    }
    const Order order = m_orders->order(row);
    receipts::ReprintReceipt r = receipts::reprintReceiptOf(order, transactions::isRefundedStatus(order.finalinfo));
    r.operatorName = m_till.session().rname();
    r.servicePhone = printer.servicePhone();
    const QString html = receipts::reprintReceiptHtml(r);
    printretry::printOfferingRetry(this, [&printer, &html] { return printer.print(html); });
}

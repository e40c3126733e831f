#include "collect/ticketform.h"

#include "app/money.h"
#include "collect/collectlogic.h"
#include "collect/formcs.h"
#include "collect/ticketctl.h"
#include "shell/usersession.h"
#include "ui_TicketForm.h"

#include <QScrollArea>
#include <QScrollBar>

namespace {

QList<collect::TicketLine> currentLines() {
    QList<collect::TicketLine> lines;
    for (const TicketType* type : ticketTypes()) {
        lines.append({type->id, type->lineWidget ? type->lineWidget->count() : 0, type->price});
    }
    return lines;
}

}  // namespace

TicketForm::TicketForm(QWidget* parent) : QWidget(parent), ui(new Ui::TicketForm) {
    ui->setupUi(this);
    move(10, 135);
    const QList<TicketType*>& types = ticketTypes();
    // The lines sit on a sheet that scrolls inside the panel, so a merchant with more kinds than the panel's height
    // holds can still reach every one; the sheet starts at the panel's corner, so a line's place is as designed.
    auto* scroll = new QScrollArea(ui->frame);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setGeometry(ui->frame->rect());
    m_lines = new QWidget;
    m_lines->setObjectName(QStringLiteral("ticketLines"));
    m_lines->setStyleSheet(QStringLiteral("#ticketLines{background:transparent;}"));
    m_lines->setFixedSize(ui->frame->width() - scroll->verticalScrollBar()->sizeHint().width(),
                          qMax(ui->frame->height(), 65 * static_cast<int>(types.size()) + 70));
    scroll->setWidget(m_lines);
    scroll->viewport()->setAutoFillBackground(false);
    for (int i = 0; i < types.size(); ++i) {
        auto* line = new TicketCtl(m_lines, types.at(i)->name, types.at(i)->price);
        types.at(i)->lineWidget = line;
        line->move(10, 65 * i + 70);
        connect(line, &TicketCtl::clicked, this, &TicketForm::doclick);
    }
}

TicketForm::~TicketForm() {
    // The lines go with the page; the kinds must not keep pointing at them.
    for (TicketType* type : ticketTypes()) {
        if (type->lineWidget && type->lineWidget->parentWidget() == m_lines) {
            type->lineWidget = nullptr;
        }
    }
}

FormCS* TicketForm::paymentWindow() const {
    return m_paymentWindow;
}

QString TicketForm::selectionString() const {
    return collect::ticketSelection(currentLines());
}

QString TicketForm::totalText() const {
    return total > 0 ? money::fenToYuanTrimmed(total) : QString();
}

void TicketForm::doclick() {
    total = 0;
    if (ticketTypes().isEmpty()) {
        ui->input_Edit->clear();
        return;
    }
    total = collect::ticketTotalFen(currentLines());
    ui->input_Edit->setText(totalText());
}

void TicketForm::resetCounts() {
    for (TicketType* type : ticketTypes()) {
        if (type->lineWidget) {
            type->lineWidget->reset();
        }
    }
    total = 0;
    ui->input_Edit->clear();
}

void TicketForm::on_sk_btn_clicked() {
    if (total <= 0) {
        return;
    }
    if (m_paymentWindow && m_paymentWindow->isVisible()) {
        return;
    }
    auto* cs = new FormCS(this, ui->input_Edit->text());
    m_paymentWindow = cs;
    cs->show();
}

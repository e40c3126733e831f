#include "collect/ticketform.h"

#include "app/money.h"
#include "collect/collectlogic.h"
#include "collect/formcs.h"
#include "collect/ticketctl.h"
#include "shell/usersession.h"
#include "ui_TicketForm.h"

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
    for (int i = 0; i < types.size(); ++i) {
        auto* line = new TicketCtl(ui->frame, types.at(i)->name, types.at(i)->price);
        types.at(i)->lineWidget = line;
        line->move(10, 65 * i + 70);
        connect(line, &TicketCtl::clicked, this, &TicketForm::doclick);
    }
}

TicketForm::~TicketForm() {
    // The lines go with the page; the kinds must not keep pointing at them.
    for (TicketType* type : ticketTypes()) {
        if (type->lineWidget && type->lineWidget->parentWidget() == ui->frame) {
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

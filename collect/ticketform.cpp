#include "collect/ticketform.h"

#include "app/money.h"
#include "payments/chargecheck.h"
#include "collect/collectlogic.h"
#include "collect/formcs.h"
#include "collect/ticketctl.h"
#include "core/till.h"
#include "ui_TicketForm.h"

#include <QScrollArea>
#include <QScrollBar>

TicketForm::TicketForm(Till& till, QWidget* parent)
    : QWidget(parent), ui(new Ui::TicketForm), m_till(till), m_types(till.session().ticketTypes()) {
    ui->setupUi(this);
    connect(&m_till.charges(), &ChargeService::salePaid, this, [this](ChargeController* paid) {
        if (paid && paid == m_charge && selectionString() == m_chargeSelection) {
            resetCounts();
        }
    });
    move(10, 135);
    const QList<TicketType>& types = m_types;
    // The lines sit on a sheet that scrolls inside the panel, so a merchant with more kinds than the panel's height
    // holds can still reach every one; the sheet starts at the panel's corner, so a line's place is as designed.
    auto* scroll = new QScrollArea(ui->frame);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setGeometry(ui->frame->rect());
    m_lines = new QWidget;
    m_lines->setObjectName(QStringLiteral("ticketLines"));
    m_lines->setFixedSize(ui->frame->width() - scroll->verticalScrollBar()->sizeHint().width(),
                          qMax(ui->frame->height(), 65 * static_cast<int>(types.size()) + 70));
    scroll->setWidget(m_lines);
    scroll->viewport()->setAutoFillBackground(false);
    for (int i = 0; i < types.size(); ++i) {
        auto* line = new TicketCtl(m_lines, types.at(i).name, types.at(i).priceFen);
        m_lineWidgets.append(line);
        line->move(10, 65 * i + 70);
        connect(line, &TicketCtl::clicked, this, &TicketForm::doclick);
    }
}

TicketForm::~TicketForm() {
    FormCS::keepPastPage(this);
}

QList<collect::TicketLine> TicketForm::currentLines() const {
    QList<collect::TicketLine> lines;
    for (int i = 0; i < m_types.size(); ++i) {
        const TicketCtl* line = lineAt(i);
        lines.append({m_types.at(i).id, line ? line->count() : 0, m_types.at(i).priceFen});
    }
    return lines;
}

FormCS* TicketForm::paymentWindow() const {
    return m_paymentWindow;
}

QString TicketForm::selectionString() const {
    return collect::ticketSelection(currentLines());
}

QList<SoldTicket> TicketForm::soldTickets() const {
    QList<chargecheck::SoldKind> kinds;
    for (int i = 0; i < m_types.size(); ++i) {
        const TicketCtl* line = lineAt(i);
        if (line && line->count() > 0) {
            kinds.append({m_types.at(i).name, line->count(), m_types.at(i).priceFen});
        }
    }
    return chargecheck::ticketsSold(kinds);
}

QString TicketForm::totalText() const {
    return total > 0 ? money::fenToYuanTrimmed(total) : QString();
}

void TicketForm::doclick() {
    total = 0;
    if (m_types.isEmpty()) {
        ui->input_Edit->clear();
        return;
    }
    total = collect::ticketTotalFen(currentLines());
    ui->input_Edit->setText(totalText());
}

void TicketForm::resetCounts() {
    for (TicketCtl* line : qAsConst(m_lineWidgets)) {
        line->reset();
    }
    total = 0;
    ui->input_Edit->clear();
}

void TicketForm::on_sk_btn_clicked() {
    if (FormCS::bringBackOpenCharge(m_till) || (m_paymentWindow && m_paymentWindow->isVisible())) {
        return;  // the charge in progress comes back instead of a second one; one window at a time
    }
    if (total <= 0) {
        return;
    }
    const QString selection = selectionString();
    auto* cs = new FormCS(m_till, this, FormCS::TicketSale{total, selection, soldTickets()});
    m_paymentWindow = cs;
    m_charge = cs->controller();
    m_chargeSelection = selection;
    cs->show();
    cs->showOnDisplay(m_display);
}

#include "collect/ticketctl.h"

#include "app/money.h"
#include "collect/collectlogic.h"
#include "ui_TicketCtl.h"

#include <QRegExp>
#include <QRegExpValidator>
#include <limits>

TicketCtl::TicketCtl(QWidget* parent, const QString& name, qint64 priceFen)
    : QWidget(parent), ui(new Ui::TicketCtl), m_priceFen(priceFen) {
    ui->setupUi(this);
    ui->lblname->setTextFormat(Qt::PlainText);  // the gateway's name for the kind
    ui->lblname->setText(name);
    ui->lblname->adjustSize();
    ui->lbljg->setText(money::fenToYuanTrimmed(priceFen) + QStringLiteral("元"));
    ui->lbljg->adjustSize();
    ui->lbljg->move(ui->lblname->frameGeometry().right() + 30, 12);
    ui->num->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("^\\d+$")), ui->num));
}

TicketCtl::~TicketCtl() = default;

void TicketCtl::reset() {
    m_count = 0;
    ui->num->setText(QStringLiteral("0"));
}

void TicketCtl::on_jian_clicked() {
    if (m_count > 0) {
        --m_count;
    }
    ui->num->setText(QString::number(m_count));
    emit clicked();
}

void TicketCtl::on_jia_clicked() {
    if (m_count < std::numeric_limits<int>::max()) {
        ++m_count;
    }
    ui->num->setText(QString::number(m_count));
    emit clicked();
}

void TicketCtl::on_num_textEdited(const QString& arg1) {
    m_count = collect::ticketCountFromText(arg1);
    emit clicked();
}

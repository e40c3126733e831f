#include "setreundform.h"

#include "core/till.h"
#include "ui_setReundForm.h"
#include "widgets/messagebox.h"

setReundForm::setReundForm(Till& till, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::setReundForm>()), m_till(till) {
    ui->setupUi(this);
    // The record keeps 50 UTF-16 units and the terminating zero; the field takes no more.
    ui->txtRefundName->setMaxLength(ComConfig::kItemNameMaxChars);
    const ComConfig& config = m_till.record();
    ui->cbkRefund->setChecked(config.refundEnabled != 0);
    ui->cbkRedundCard->setChecked(config.refundCardEnabled != 0);
    ui->txtRefundName->setText(config.itemName());
}

setReundForm::~setReundForm() = default;

void setReundForm::on_btnOk_clicked() {
    ComConfig config = m_till.record();
    config.refundEnabled = ui->cbkRefund->isChecked() ? 1 : 0;
    config.refundCardEnabled = ui->cbkRedundCard->isChecked() ? 1 : 0;
    config.setItemName(ui->txtRefundName->text());
    // The new values are in force for this run even when the file cannot be written.
    if (m_till.applyRecord(config)) {
        msgbox::information(this, msgbox::Title::Info, QStringLiteral("设置成功"));
    } else {
        msgbox::warning(this, msgbox::Title::Info, QStringLiteral("系统错误，请重试"));
    }
}

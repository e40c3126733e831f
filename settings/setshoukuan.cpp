#include "settings/setshoukuan.h"

#include "core/till.h"
#include "ui_SetShouKuan.h"
#include "widgets/messagebox.h"

#include <QComboBox>

SetShouKuan::SetShouKuan(Till& till, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetShouKuan>()), m_till(till) {
    ui->setupUi(this);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("comboBox"));
    m_combo->setGeometry(150, 76, 160, 30);
    // Index = cents mode: 0 keep, 1 round to the jiao, 2 drop the fen.
    m_combo->addItems({QStringLiteral("不处理"), QStringLiteral("四舍五入"), QStringLiteral("舍掉分钱")});
    // A stored value outside 0..2 keeps the fen when collecting, so the page says so.
    m_combo->setCurrentIndex(m_till.record().centsModeInEffect());
}

SetShouKuan::~SetShouKuan() = default;

void SetShouKuan::on_btn2_clicked() {
    // In force at once: the next payment-code window uses it even if the file cannot be written.
    ComConfig changed = m_till.record();
    changed.centsMode = m_combo->currentIndex();
    if (m_till.applyRecord(changed)) {
        msgbox::information(this, msgbox::Title::Info, QStringLiteral("设置成功"));
    } else {
        msgbox::warning(this, msgbox::Title::Info, QStringLiteral("系统错误，请重试"));
    }
}

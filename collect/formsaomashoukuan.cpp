#include "collect/formsaomashoukuan.h"

#include "core/till.h"
#include "collect/collectlogic.h"
#include "collect/formcs.h"
#include "core/chargeservice.h"
#include "ui_FormSaoMaShouKuan.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QRegExp>
#include <QRegExpValidator>

namespace {
constexpr int kKeyWindowMs = 50;
}

FormSaoMaShouKuan::FormSaoMaShouKuan(Till& till, QWidget* parent)
    : QWidget(parent), ui(new Ui::FormSaoMaShouKuan), m_till(till) {
    connect(&m_till.charges(), &ChargeService::salePaid, this, [this](ChargeController* paid) {
        if (paid && paid == m_charge && ui->input_Edit->text() == m_chargeText) {
            ui->input_Edit->clear();
        }
    });
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    move(10, 135);

    ui->sk_btn->setShortcut(QKeySequence(Qt::Key_Return));
    ui->clean_btn->setShortcut(QKeySequence(Qt::Key_Delete));
    ui->rt_btn->setShortcut(QKeySequence(Qt::Key_Enter));
    ui->input_Edit->setEnabled(false);
    ui->input_Edit->setPlaceholderText(QStringLiteral("请输入..."));
    markEmpty();
    ui->input_Edit->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("^\\d+(\\.\\d+)?\\r?$"), Qt::CaseSensitive), ui->input_Edit));

    keyTimer.setSingleShot(true);
    keyTimer.setInterval(kKeyWindowMs);
    connect(&keyTimer, &QTimer::timeout, this, &FormSaoMaShouKuan::keyBoardInput);
}

FormSaoMaShouKuan::~FormSaoMaShouKuan() {
    FormCS::keepPastPage(this);
}

FormCS* FormSaoMaShouKuan::paymentWindow() const {
    return m_paymentWindow;
}

void FormSaoMaShouKuan::setAmountText(const QString& text) {
    m_posText = text;
    ui->input_Edit->setText(text);
}

void FormSaoMaShouKuan::startCollect() {
    collect();
}

QString FormSaoMaShouKuan::fieldText() const {
    return ui->input_Edit->text();
}

void FormSaoMaShouKuan::keyDigit(const QString& ch) {
    if (!keyTimer.isActive()) {
        keyBuffer = ch;
    } else {
        keyBuffer += ch;
    }
    keyTimer.start();
}

void FormSaoMaShouKuan::keyBoardInput() {
    if (keyBuffer.size() == 1) {
        QLineEdit* edit = ui->input_Edit;
        if (pendingOp == QLatin1String("+") && !secondStarted) {
            // The first key after "+" begins the second addend; if the validator refuses it, the sum stays shown.
            // A point there starts "0." rather than being refused.
            const QString before = edit->text();
            const QString start = keyBuffer == QLatin1String(".") ? QStringLiteral("0") : QString();
            edit->setText(start);
            edit->insert(keyBuffer);
            if (edit->text() == start) {
                edit->setText(before);
            } else {
                secondStarted = true;
                secondAddend = collect::keypadAddendFen(edit->text());
            }
        } else {
            edit->insert(keyBuffer);
        }
    }
    keyBuffer.clear();
}

void FormSaoMaShouKuan::flushKeyWindow() {
    if (keyTimer.isActive()) {
        keyTimer.stop();
        keyBoardInput();
    }
}

void FormSaoMaShouKuan::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (event->isAutoRepeat()) {
        return;
    }
    if (keyTimer.isActive()) {
        if (event->key() == Qt::Key_Return) {
            keyBuffer.clear();
        } else {
            if (keyBuffer.isEmpty()) {
                keyBuffer = lastKeyText;
            }
            keyBuffer += event->text();
        }
    }
    lastKeyText = event->text();
    keyTimer.start();
}

void FormSaoMaShouKuan::markEmpty() {
    // The digits are red, and with them the hint: an empty field turns grey so the hint is not read as an amount.
    windowstyle::setLookState(ui->input_Edit, "empty", ui->input_Edit->text().isEmpty());
}

void FormSaoMaShouKuan::on_input_Edit_textChanged(const QString& arg1) {
    amountText = arg1;
    markEmpty();
    if (pendingOp == QLatin1String("+") && secondStarted) {
        secondAddend = collect::keypadAddendFen(arg1);
    }
}

void FormSaoMaShouKuan::on_zer_btn_clicked() {
    keyDigit(QStringLiteral("0"));
}
void FormSaoMaShouKuan::on_one_btn_clicked() {
    keyDigit(QStringLiteral("1"));
}
void FormSaoMaShouKuan::on_two_btn_clicked() {
    keyDigit(QStringLiteral("2"));
}
void FormSaoMaShouKuan::on_thr_btn_clicked() {
    keyDigit(QStringLiteral("3"));
}
void FormSaoMaShouKuan::on_fou_btn_clicked() {
    keyDigit(QStringLiteral("4"));
}
void FormSaoMaShouKuan::on_fiv_btn_clicked() {
    keyDigit(QStringLiteral("5"));
}
void FormSaoMaShouKuan::on_six_btn_clicked() {
    keyDigit(QStringLiteral("6"));
}
void FormSaoMaShouKuan::on_sev_btn_clicked() {
    keyDigit(QStringLiteral("7"));
}
void FormSaoMaShouKuan::on_eig_btn_clicked() {
    keyDigit(QStringLiteral("8"));
}
void FormSaoMaShouKuan::on_nine_btn_clicked() {
    keyDigit(QStringLiteral("9"));
}

void FormSaoMaShouKuan::on_dot_btn_clicked() {
    // A leading point is refused by the validator, and a second point is never keyed.
    const bool startsSecond = pendingOp == QLatin1String("+") && !secondStarted;
    if (amountText.isEmpty()) {
        amountText = QStringLiteral("0");
    }
    if (startsSecond || !amountText.contains(QLatin1Char('.'))) {
        keyDigit(QStringLiteral("."));
    }
}

void FormSaoMaShouKuan::on_back_btn_clicked() {
    if (amountText.isEmpty()) {
        pendingOp.clear();
        secondStarted = false;
        return;
    }
    const QString shortened = amountText.left(amountText.size() - 1);
    if (pendingOp == QLatin1String("+") && secondStarted) {
        // Correcting the second addend keeps the addition pending.
        if (shortened.isEmpty()) {
            secondStarted = false;
            secondAddend = 0;
        }
    } else if (firstAddend > 0) {
        pendingOp.clear();
        secondStarted = false;
        firstAddend = collect::keypadAddendFen(shortened);
    }
    amountText = shortened;
    ui->input_Edit->setText(shortened);
}

void FormSaoMaShouKuan::on_clean_btn_clicked() {
    keyTimer.stop();
    keyBuffer.clear();
    ui->input_Edit->clear();
    amountText.clear();
    pendingOp.clear();
    secondStarted = false;
    firstAddend = 0;
    secondAddend = 0;
    sumValue = 0;
}

void FormSaoMaShouKuan::showSum() {
    sumValue = firstAddend + secondAddend;
    const QString text = collect::keypadSumText(firstAddend, secondAddend);
    firstAddend = 0;
    secondAddend = 0;
    secondStarted = false;
    ui->input_Edit->setText(text);
    amountText = text;
}

void FormSaoMaShouKuan::on_add_btn_clicked() {
    flushKeyWindow();
    if (amountText.isEmpty() || collect::keypadAddendFen(amountText) == 0) {
        return;
    }
    if (!pendingOp.isEmpty() && secondStarted && firstAddend > 0 && secondAddend > 0) {
        showSum();
    }
    firstAddend = collect::keypadAddendFen(amountText);
    secondAddend = 0;
    secondStarted = false;
    pendingOp = QStringLiteral("+");
}

void FormSaoMaShouKuan::on_equal_btn_clicked() {
    flushKeyWindow();
    if (pendingOp != QLatin1String("+") || !secondStarted || firstAddend <= 0 || secondAddend <= 0) {
        return;
    }
    showSum();
    pendingOp.clear();
}

void FormSaoMaShouKuan::on_sk_btn_clicked() {
    collect();
}

void FormSaoMaShouKuan::on_rt_btn_clicked() {
    collect();
}

void FormSaoMaShouKuan::collect() {
    // An open key window means keys are still arriving, e.g. the Return that ends a scanner burst.
    if (!keyBuffer.isEmpty()) {
        return;
    }
    if (FormCS::bringBackOpenCharge(m_till) || (m_paymentWindow && m_paymentWindow->isVisible())) {
        // A charge whose money may be moving comes back instead of a second one (even when its window was hidden);
        // one payment-code window at a time, even when the serial bridge asks again.
        return;
    }
    // A pending addition the cashier did not close with "=" is what the display adds up to; a "+" with nothing
    // after it is dropped, so it cannot add the next sale's first digits to this one.
    on_equal_btn_clicked();
    if (!pendingOp.isEmpty()) {
        pendingOp.clear();
        secondStarted = false;
        firstAddend = 0;
        secondAddend = 0;
    }
    const QString text = ui->input_Edit->text();
    qint64 fen = 0;
    switch (collect::checkCollectAmount(text, m_till.record().centsMode, &fen)) {
        case collect::CollectCheck::Empty:
            msgbox::warning(this, msgbox::Title::Info, QStringLiteral("请输入收款金额"));
            return;
        case collect::CollectCheck::Zero:
            msgbox::warning(this, msgbox::Title::Info, QStringLiteral("收款金额不能为0"));
            return;
        case collect::CollectCheck::Invalid:
            msgbox::warning(this, msgbox::Title::Info, QStringLiteral("收款金额格式不正确"));
            return;
        case collect::CollectCheck::Ok:
            break;
    }
    // Told before the customer shows a code: a charge that may not start now (another copy's open charge, no journal)
    // is not offered a scan. The charge asks again when it is sent.
    QString why;
    if (!m_till.charges().mayStart(&why)) {
        msgbox::critical(this, msgbox::Title::Tip, why);
        return;
    }
    auto* cs = new FormCS(m_till, this, text, fen);
    m_paymentWindow = cs;
    m_charge = cs->controller();
    m_chargeText = text;
    cs->show();
    if (text != m_posText) {
        cs->showOnDisplay(m_display);
    }
}

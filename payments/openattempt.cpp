#include "payments/openattempt.h"

#include "app/usersession.h"
#include "payments/journal.h"

#include <QDebug>

OpenAttempt::OpenAttempt(const PaymentContext& till, Noun noun)
    : m_till(till), m_noun(noun), m_timing(chargecheck::timingFromEnvironment()) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &OpenAttempt::lookUpDue);
}

QString OpenAttempt::nounText(Noun noun) {
    return noun == Noun::Charge ? QStringLiteral("收款") : QStringLiteral("退款");
}

QString OpenAttempt::noJournalText(Noun noun) {
    return QStringLiteral("收款记录文件不可用，暂时不能%1。请重新启动收银程序；仍不行请联系管理员。")
        .arg(nounText(noun));
}

bool OpenAttempt::begin(const journal::Attempt& a, QString* why) {
    journal::Journal* j = m_till.journal;
    QString error;
    journal::Attempt blocker;
    const std::optional<qint64> id = j ? j->begin(a, &error, &blocker) : std::nullopt;
    if (!id) {
        *why = !j           ? noJournalText(m_noun)
               : blocker.id ? error + QStringLiteral("\n本次没有%1。").arg(noun())
                            : QStringLiteral("无法写入%1记录（%2），本次没有%1。").arg(noun(), error);
        return false;
    }
    m_id = *id;
    return true;
}

void OpenAttempt::settle(journal::State state, const QString& orderNo, const QString& note, const QString& otherNo) {
    if (!journal::isOpen(state)) {
        m_next.stop();
        ++m_generation;
        m_check = Check::Off;
    }
    journal::Journal* j = m_till.journal;
    QString error;
    if (!j || !j->settle(m_id, state, orderNo, note, &error, otherNo)) {
        qWarning().noquote() << "journal: attempt" << m_id << "not settled as" << journal::stateName(state) << error;
        emit journalTrouble(
            j && j->hasUnwritten()
                ? QStringLiteral("%1结果暂时未能写入收款记录（%2），程序会自动再次写入。").arg(noun(), error)
                : QStringLiteral("%1结果未能写入收款记录（%2）。").arg(noun(), error));
    }
}

void OpenAttempt::startCheck() {
    m_elapsed.start();
    m_check = Check::Running;
    emit checkStarted();
    emit lookUpDue();
}

void OpenAttempt::nothingFound() {
    if (m_check != Check::Running) {
        return;
    }
    const qint64 left = m_timing.durationMs - m_elapsed.elapsed();
    if (left <= 0) {
        giveUp();
        return;
    }
    // The last look-up falls on the end of the check, so an outcome recorded just before it is still seen.
    m_next.start(static_cast<int>(qMin<qint64>(m_timing.intervalMs, left)));
}

void OpenAttempt::giveUp() {
    m_next.stop();
    ++m_generation;
    m_check = Check::Unresolved;
    emit unresolved();
}

void OpenAttempt::stopCheck() {
    if (m_check == Check::Running) {
        giveUp();
    }
}

void OpenAttempt::checkAgain() {
    if (m_check == Check::Unresolved) {
        startCheck();
    }
}

bool OpenAttempt::release(QString* why) {
    if (m_check != Check::Unresolved) {
        *why = QStringLiteral("这笔%1不是未确认状态。").arg(noun());
        return false;
    }
    journal::Journal* j = m_till.journal;
    QString error;
    if (!j || !j->release(m_id, m_till.session->uid(), &error)) {
        *why = j ? QStringLiteral("无法写入收款记录（%1）。").arg(error) : noJournalText(m_noun);
        return false;
    }
    m_id = 0;
    m_check = Check::Off;
    return true;
}

gateway::Done OpenAttempt::latest(gateway::Done done) {
    const int generation = ++m_generation;
    return [this, generation, done](const gateway::Reply& reply) {
        if (generation == m_generation) {
            done(reply);
        }
    };
}

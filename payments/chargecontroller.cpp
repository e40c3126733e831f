#include "payments/chargecontroller.h"

#include "app/usersession.h"
#include "gateway/requests.h"
#include "payments/journal.h"

#include <QDebug>
#include <QUuid>

namespace {

// A range with more pages than this is not a few minutes of one store: the rest is left unread.
constexpr int kMaxPages = 100;

QList<ChargeController*>& controllers() {
    static QList<ChargeController*> all;
    return all;
}

QString noJournalText() {
    return QStringLiteral("收款记录文件不可用，暂时不能收款。请重新启动收银程序；仍不行请联系管理员。");
}

}  // namespace

ChargeController::ChargeController(qint64 fen, QObject* parent)
    : QObject(parent),
      m_fen(fen),
      m_saleId(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_timing(chargecheck::timingFromEnvironment()) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, [this] { startListing(m_sentAt); });
    m_fetch = new gateway::ListingFetch(this);
    m_fetch->setMaxPages(kMaxPages);
    connect(m_fetch, &gateway::ListingFetch::pageRead, this,
            [this](int, int, const replies::ListingPage& page) { m_rows += page.rows; });
    connect(m_fetch, &gateway::ListingFetch::finished, this,
            [this](const gateway::ListingFetch::Ending& ending) { listingDone(ending.ok); });
    controllers().append(this);
}

ChargeController::~ChargeController() {
    controllers().removeAll(this);
}

void ChargeController::setTicketSale(const QString& selection, const QList<SoldTicket>& tickets) {
    m_ticketSale = true;
    m_ticketSelection = selection;
    m_tickets = tickets;
}

void ChargeController::resume(const journal::Attempt& attempt) {
    m_resumed = true;
    m_fen = attempt.fen;
    m_saleId = attempt.saleId;
    m_shopId = attempt.shopId;
    m_attemptId = attempt.id;
    m_sentAt = attempt.createdAt;
    m_maskedCode = attempt.maskedCode;
    m_ticketSale = attempt.kind == journal::Kind::TicketCharge;
    if (attempt.state == journal::State::Sending) {
        // The run that sent it ended before the answer: nobody knows.
        settle(journal::State::Unresolved, QString(), QStringLiteral("程序重新启动时仍在发送"));
    }
    setPhase(Phase::Checking);
    startCheck();
}

bool ChargeController::moneyMayMove() const {
    return m_phase == Phase::LookingBack || m_phase == Phase::Sending || m_phase == Phase::Checking ||
           m_phase == Phase::Unresolved;
}

ChargeController* ChargeController::holding(qint64 attemptId) {
    for (ChargeController* c : qAsConst(controllers())) {
        if (attemptId && c->m_attemptId == attemptId) {
            return c;
        }
    }
    return nullptr;
}

ChargeController* ChargeController::busy() {
    for (ChargeController* c : qAsConst(controllers())) {
        if (c->moneyMayMove()) {
            return c;
        }
    }
    return nullptr;
}

bool ChargeController::mayStartCharge(QString* why) {
    if (busy()) {
        *why = QStringLiteral("上一笔收款的结果还未确认，请先完成上一笔收款。");
        return false;
    }
    journal::Journal* j = journal::instance();
    if (!j) {
        *why = noJournalText();
        return false;
    }
    QString error;
    const std::optional<journal::Attempt> blocker = j->blockerFor(journal::Kind::Charge, QString(), &error);
    if (!error.isEmpty()) {
        *why = QStringLiteral("无法读取收款记录（%1），暂时不能收款。").arg(error);
        return false;
    }
    if (blocker) {
        *why = j->blockedText(*blocker);
        return false;
    }
    return true;
}

bool ChargeController::charge(const QString& code, QString* why) {
    if (m_phase != Phase::Ready) {
        *why = QStringLiteral("本次收款正在处理中，请勿重复扫码。");
        return false;
    }
    if (!mayStartCharge(why)) {
        return false;
    }
    // A sale tried before (refused, or released by the cashier) may have been paid all the same: look first. So
    // may one of a journal that was lost, once for each amount.
    const std::optional<QList<journal::Attempt>> earlier = earlierAnswered();
    QString error;
    const std::optional<QDateTime> lostSince = journal::instance()->lookBackSince(m_fen, &error);
    if (!earlier || !error.isEmpty()) {
        *why =
            QStringLiteral("无法读取收款记录%1，本次没有收款。").arg(error.isEmpty() ? QString() : "（" + error + "）");
        return false;
    }
    m_pendingCode = code;
    if (!earlier->isEmpty() || lostSince) {
        m_lostLookBack = earlier->isEmpty();
        setPhase(Phase::LookingBack);
        startListing(m_lostLookBack ? *lostSince : earlier->first().createdAt);
        return true;
    }
    send();  // a journal that cannot take the attempt is reported through journalTrouble
    return true;
}

void ChargeController::send() {
    const QString code = m_pendingCode;
    m_pendingCode.clear();
    const UserSession& session = userSession();
    journal::Attempt a;
    a.saleId = m_saleId;
    a.kind = m_ticketSale ? journal::Kind::TicketCharge : journal::Kind::Charge;
    a.fen = m_fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.maskedCode = journal::maskCode(code);
    a.createdAt = QDateTime::currentDateTime();
    QString error;
    journal::Journal* j = journal::instance();
    journal::Attempt blocker;
    const std::optional<qint64> id = j ? j->begin(a, &error, &blocker) : std::nullopt;
    if (!id) {
        // Nothing goes out that the journal does not hold, nor while another charge is open anywhere.
        setPhase(Phase::Ready);
        emit journalTrouble(!j           ? noJournalText()
                            : blocker.id ? error + QStringLiteral("\n本次没有收款。")
                                         : QStringLiteral("无法写入收款记录（%1），本次没有收款。").arg(error));
        return;
    }
    m_attemptId = *id;
    m_sentAt = a.createdAt;
    m_shopId = a.shopId;
    m_maskedCode = a.maskedCode;
    const RequestBody body = m_ticketSale
                                 ? requests::ticketScanPay(m_ticketSelection, code, m_fen, a.cashierId, a.shopId)
                                 : requests::scanPay(code, m_fen, a.cashierId, a.shopId);
    setPhase(Phase::Sending);
    gateway::post(
        this, body, [this](const gateway::Reply& r) { onChargeReply(r); }, m_timing.chargeTimeoutMs);
}

void ChargeController::onChargeReply(const gateway::Reply& reply) {
    if (m_phase != Phase::Sending) {
        return;
    }
    const replies::ChargeResult result = replies::charge(reply);
    const journal::Settlement settled = journal::settlementOf(result.outcome, result.message);
    switch (result.outcome) {
        case replies::Outcome::Paid: {
            Order sale = result.sale;
            if (!sale.fen) {
                sale.fen = m_fen;  // the amount that was charged, when the reply's cannot be read
            }
            if (sale.tickets.isEmpty()) {
                sale.tickets = m_tickets;
            }
            settle(settled.state, sale.orderNo(), QString());
            setPhase(Phase::Paid);
            emit paid(sale);
            return;
        }
        case replies::Outcome::Refused:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit refused(result.message);
            return;
        case replies::Outcome::NotSent:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit notSent();
            return;
        case replies::Outcome::Unknown:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Checking);
            startCheck();
            return;
    }
}

void ChargeController::settle(journal::State state, const QString& orderNo, const QString& note) {
    journal::Journal* j = journal::instance();
    QString error;
    if (!j || !j->settle(m_attemptId, state, orderNo, note, &error)) {
        qWarning().noquote() << "journal: attempt" << m_attemptId << "not settled as" << journal::stateName(state)
                             << error;
        emit journalTrouble(QStringLiteral("收款结果未能写入收款记录（%1）。").arg(error));
    }
}

void ChargeController::startCheck() {
    m_waitingForCashier = false;
    m_elapsed.start();
    startListing(m_sentAt);
}

void ChargeController::startListing(const QDateTime& from) {
    m_rangeFrom = from;
    m_rows.clear();
    const UserSession& session = userSession();
    gateway::ListingFetch::Query query;
    query.token = session.token();
    query.startDate = chargecheck::rangeStart(m_rangeFrom, m_timing.clockToleranceSecs);
    query.endDate = chargecheck::rangeEnd(QDateTime::currentDateTime(), m_timing.clockToleranceSecs);
    query.shopId = m_shopId.isEmpty() ? session.shopId() : m_shopId;
    m_fetch->setTimeout(m_timing.listTimeoutMs);
    m_fetch->start(query);
}

std::optional<QList<journal::Attempt>> ChargeController::earlierAnswered() const {
    // Refused or released attempts may have been carried out all the same; one that never left cannot have been.
    // A journal that cannot be read says nothing: the caller sends nothing.
    journal::Journal* j = journal::instance();
    if (!j) {
        return std::nullopt;
    }
    QString error;
    const QList<journal::Attempt> all = j->ofSale(m_saleId, &error);
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    QList<journal::Attempt> out;
    for (const journal::Attempt& a : all) {
        if (a.state == journal::State::Refused || a.state == journal::State::Released) {
            out.append(a);
        }
    }
    return out;
}

std::optional<QSet<QString>> ChargeController::excludedOrders() const {
    // Sales this till completed are not this one: that customer would leave without paying. Without the journal's
    // word on them nothing is offered.
    journal::Journal* j = journal::instance();
    if (!j) {
        return std::nullopt;
    }
    QSet<QString> out = m_declined;
    QString error;
    const QDateTime from = m_rangeFrom.addSecs(-m_timing.clockToleranceSecs - 3600);
    const QList<journal::Attempt> recent = j->between(from, QDateTime::currentDateTime().addDays(1), QString(), &error);
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    for (const journal::Attempt& a : recent) {
        if (a.state == journal::State::Paid && journal::isCharge(a.kind) && !a.orderNo.isEmpty()) {
            out.insert(a.orderNo);
        }
    }
    return out;
}

void ChargeController::lookBackDone() {
    if (!m_lostLookBack) {
        return;
    }
    QString error;
    if (!journal::instance()->lookedBack(m_fen, &error)) {
        qWarning().noquote() << "journal: look-back of" << m_fen << "fen not recorded:" << error;
    }
}

void ChargeController::listingDone(bool ok) {
    const chargecheck::Charge charge{m_fen, m_shopId.isEmpty() ? userSession().shopId() : m_shopId, m_rangeFrom};
    const std::optional<QSet<QString>> excluded = excludedOrders();
    if (m_phase == Phase::LookingBack) {
        if (!ok || !excluded) {
            m_pendingCode.clear();
            setPhase(Phase::Ready);
            emit lookBackFailed();
            return;
        }
        const QList<chargecheck::Candidate> found = chargecheck::candidates(
            charge, m_rows, QDateTime::currentDateTime(), m_timing.clockToleranceSecs, *excluded);
        if (found.isEmpty()) {
            lookBackDone();
            send();
            return;
        }
        m_waitingForCashier = true;
        emit candidatesFound(found);
        return;
    }
    if (m_phase != Phase::Checking) {
        return;
    }
    if (ok && excluded) {
        const QList<chargecheck::Candidate> found = chargecheck::candidates(
            charge, m_rows, QDateTime::currentDateTime(), m_timing.clockToleranceSecs, *excluded);
        if (!found.isEmpty()) {
            m_waitingForCashier = true;
            emit candidatesFound(found);
            return;
        }
    }
    // A failed listing says nothing about the charge: the next one is tried, until the end of the check.
    scheduleNext();
}

void ChargeController::scheduleNext() {
    const qint64 left = m_timing.durationMs - m_elapsed.elapsed();
    if (left <= 0) {
        setPhase(Phase::Unresolved);
        emit unresolved();
        return;
    }
    // The last listing falls on the end of the check, so a charge recorded just before it is still seen.
    m_next.start(static_cast<int>(qMin<qint64>(m_timing.intervalMs, left)));
}

void ChargeController::confirm(const chargecheck::Candidate& candidate, const Order& sale) {
    if (!m_waitingForCashier || (m_phase != Phase::Checking && m_phase != Phase::LookingBack)) {
        return;
    }
    m_waitingForCashier = false;
    if (m_phase == Phase::LookingBack && m_lostLookBack) {
        // A payment of the lost journal's: this sale is paid. It is written down as an attempt of its own, found paid.
        m_pendingCode.clear();
        lookBackDone();
        if (!recordFound(candidate.row.orderNo())) {
            return;
        }
        setPhase(Phase::Paid);
        emit paid(sale);
        return;
    }
    if (m_phase == Phase::LookingBack) {
        // The gateway took an earlier attempt after all: that one is the payment.
        m_pendingCode.clear();
        const std::optional<QList<journal::Attempt>> earlier = earlierAnswered();
        m_attemptId = !earlier || earlier->isEmpty() ? 0 : earlier->last().id;
    }
    settle(journal::State::Paid, candidate.row.orderNo(), QStringLiteral("收银员在交易列表中确认"));
    setPhase(Phase::Paid);
    emit paid(sale);
}

void ChargeController::decline(const QList<chargecheck::Candidate>& candidates) {
    if (!m_waitingForCashier) {
        return;
    }
    m_waitingForCashier = false;
    for (const chargecheck::Candidate& c : candidates) {
        m_declined.insert(c.row.orderNo());
    }
    if (m_phase == Phase::LookingBack) {
        lookBackDone();
        send();
    } else if (m_phase == Phase::Checking) {
        scheduleNext();
    }
}

void ChargeController::stopCheck() {
    if (m_phase != Phase::Checking) {
        return;
    }
    m_fetch->cancel();
    m_next.stop();
    m_waitingForCashier = false;
    setPhase(Phase::Unresolved);
    emit unresolved();
}

void ChargeController::checkAgain() {
    if (m_phase != Phase::Unresolved) {
        return;
    }
    setPhase(Phase::Checking);
    startCheck();
}

bool ChargeController::release(QString* why) {
    if (m_phase != Phase::Unresolved) {
        *why = QStringLiteral("这笔收款不是未确认状态。");
        return false;
    }
    journal::Journal* j = journal::instance();
    QString error;
    if (!j || !j->release(m_attemptId, userSession().uid(), &error)) {
        *why = j ? QStringLiteral("无法写入收款记录（%1）。").arg(error) : noJournalText();
        return false;
    }
    m_attemptId = 0;
    setPhase(Phase::Ready);
    return true;
}

bool ChargeController::recordFound(const QString& orderNo) {
    const UserSession& session = userSession();
    journal::Attempt a;
    a.saleId = m_saleId;
    a.kind = m_ticketSale ? journal::Kind::TicketCharge : journal::Kind::Charge;
    a.fen = m_fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.createdAt = QDateTime::currentDateTime();
    QString error;
    const std::optional<qint64> id = journal::instance()->begin(a, &error);
    if (!id) {
        setPhase(Phase::Ready);
        emit journalTrouble(QStringLiteral("无法写入收款记录（%1）。").arg(error));
        return false;
    }
    m_attemptId = *id;
    m_sentAt = a.createdAt;
    settle(journal::State::Paid, orderNo, QStringLiteral("收银员在交易列表中确认（收款记录文件损坏前的收款）"));
    return true;
}

void ChargeController::setPhase(Phase phase) {
    if (m_phase == phase) {
        return;
    }
    m_phase = phase;
    emit phaseChanged(phase);
}

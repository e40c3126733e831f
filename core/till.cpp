#include "core/till.h"

#include "core/chargeservice.h"
#include "core/listingservice.h"
#include "core/posbridge.h"
#include "core/receiptservice.h"
#include "core/refundservice.h"
#include "core/passwordservice.h"
#include "core/signinservice.h"
#include "core/storeservice.h"
#include "core/totalsservice.h"
#include "gateway/gatewayclock.h"
#include "gateway/gatewayurl.h"
#include "payments/journal.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

Till::Till(const QString& folder)
    : m_settings(QDir(folder).filePath(QStringLiteral("data.ini"))),
      m_gateway([this] { return gatewayUrl(); }, m_clock),
      m_signIn(std::make_unique<SignInService>(m_gateway, m_session, m_settings)),
      m_stores(std::make_unique<StoreService>(m_gateway, m_session, m_settings)),
      m_listing(std::make_unique<ListingService>(m_gateway, m_session)),
      m_totals(std::make_unique<TotalsService>([this] { return paymentContext(); })),
      m_passwords(std::make_unique<PasswordService>(m_gateway, m_session, m_settings)),
      m_refunds(std::make_unique<RefundService>([this] { return paymentContext(); })),
      m_receipts(std::make_unique<ReceiptService>(m_gateway, m_session, m_settings)),
      m_charges(std::make_unique<ChargeService>([this] { return paymentContext(); }, *m_receipts, *m_refunds)),
      m_pos(std::make_unique<PosBridge>(m_record, m_settings)) {
    // The gateway's wall-clock times are read and written in its zone, whatever this PC's is.
    const QString zone = m_settings.gatewayTimeZone();
    if (const std::optional<QTimeZone> z = gateway::zoneFromSetting(zone)) {
        m_clock.setZone(*z);
    } else {
        qWarning().noquote() << "data.ini: gatewayTimeZone" << zone << "names no time zone; UTC+8 is used";
        m_clock.setZone(gateway::defaultZone());
    }
}

Till::~Till() = default;

QString Till::folder() const {
    return QFileInfo(m_settings.fileName()).absolutePath();
}

void Till::loadRecord() {
    m_record = loadComConfig(QDir(folder()).filePath(QStringLiteral("app.config")));
}

bool Till::saveRecord() {
    return saveComConfig(m_record, QDir(folder()).filePath(QStringLiteral("app.config")));
}

bool Till::applyRecord(const ComConfig& changed) {
    m_record = changed;
    return saveRecord();
}

bool Till::saveRecord(const ComConfig& candidate) {
    if (!saveComConfig(candidate, QDir(folder()).filePath(QStringLiteral("app.config")))) {
        return false;
    }
    m_record = candidate;
    return true;
}

QString Till::openJournal() {
    return journal::openAtStartup(folder(), &m_journal, &m_clock);
}

void Till::setJournal(std::unique_ptr<journal::Journal> journal) {
    m_journal = std::move(journal);
    if (m_journal) {
        m_journal->setClock(&m_clock);
    }
}

QString Till::gatewayUrl() {
    return GatewayUrl(m_settings);
}

PaymentContext Till::paymentContext() {
    return PaymentContext{m_journal.get(), &m_session, m_gateway, &m_charges->registry()};
}

#include "transactions/exportlogic.h"

#include "transactions/querylogic.h"

namespace transactions {

QString csvField(const QString& text) {
    QString t = text;
    if (!t.isEmpty() && QStringLiteral("=+-@").contains(t.at(0))) {
        t.prepend(QLatin1Char('\''));
    }
    const bool quote = t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) ||
                       t.contains(QLatin1Char('\r'));
    if (!quote) {
        return t;
    }
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}

QByteArray csvLine(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields) {
        out.append(csvField(f));
    }
    return out.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray csvHeader() {
    return QByteArray("\xEF\xBB\xBF") +
           csvLine({QStringLiteral("系统单号"), QStringLiteral("交易金额"), QStringLiteral("退款金额"),
                    QStringLiteral("支付方式"), QStringLiteral("交易状态"), QStringLiteral("交易时间"),
                    QStringLiteral("商户单号"), QStringLiteral("门店")});
}

QByteArray csvRow(const Order& o) {
    // The table drops trailing zeros of the amount; a file that is added up keeps both decimals.
    return csvLine({o.tradeNo, yuan2(o.fen), yuan2(o.refundFen.value_or(0)), o.payChannel, o.finalinfo, o.payDate,
                    o.outTradeNo, o.shopName});
}

ListExport::ListExport(ListingService& listing, QObject* parent)
    : QObject(parent),
      m_listing(listing),
      m_fetch(listing.reader(
          this, [this](int page, int total, const replies::ListingPage& listing) { onPage(page, total, listing); },
          [this](const gateway::ListingFetch::Ending& ending) { onFinished(ending); })) {}

ListExport::~ListExport() {
    cancel();
}

void ListExport::setTimeout(int ms) {
    m_fetch->setTimeout(ms);
}

bool ListExport::running() const {
    return m_fetch->running();
}

bool ListExport::start(const ListingService::Filter& filter, const QString& path, QString* why) {
    cancel();
    m_seen.clear();
    m_rows = 0;
    m_moneyFen = 0;
    m_refundFen = 0;
    m_file = std::make_unique<QSaveFile>(path);
    if (!m_file->open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("无法写入文件 %1（%2）").arg(path, m_file->errorString());
        m_file.reset();
        return false;
    }
    m_file->write(csvHeader());
    m_fetch->start(m_listing.range(filter));
    return true;
}

void ListExport::cancel() {
    m_fetch->cancel();
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();  // the temporary file goes with it
    }
}

void ListExport::onPage(int page, int totalPages, const replies::ListingPage& listing) {
    if (!m_file) {
        return;
    }
    for (const Order& o : listing.rows) {
        const QString key = o.tradeNo.isEmpty() ? o.outTradeNo : o.tradeNo;
        if (!key.isEmpty()) {
            if (m_seen.contains(key)) {
                continue;
            }
            m_seen.insert(key);
        }
        m_file->write(csvRow(o));
        ++m_rows;
        m_moneyFen += o.fen.value_or(0);
        m_refundFen += o.refundFen.value_or(0);
    }
    emit progress(page, totalPages);
}

void ListExport::onFinished(const gateway::ListingFetch::Ending& ending) {
    if (!m_file) {
        return;
    }
    if (!ending.ok) {
        fail(QStringLiteral("第 %1 页读取失败（%2），文件没有保存。")
                 .arg(ending.pagesRead + 1)
                 .arg(listingFailure(ending.failure)));
        return;
    }
    if (!m_file->commit()) {
        const QString why = m_file->errorString();
        m_file.reset();
        emit failed(QStringLiteral("文件保存失败（%1）。").arg(why));
        return;
    }
    m_file.reset();
    emit done(m_rows);
}

void ListExport::fail(const QString& why) {
    m_file->cancelWriting();
    m_file.reset();
    emit failed(why);
}

}  // namespace transactions

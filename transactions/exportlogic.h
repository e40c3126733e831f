#pragma once

#include "app/records.h"
#include "core/listingservice.h"

#include <QByteArray>
#include <QObject>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

// Export of the transaction list to a CSV file a spreadsheet program opens as Chinese text: UTF-8 with a byte-order
// mark, CRLF line ends, the table's columns plus the merchant order number and the store, money as exact yuan with two
// decimals.
namespace transactions {

// One field: quoted when it holds a comma, a quote or a line break (quotes doubled). A gateway text that a
// spreadsheet would run as a formula (starting with =, +, -, @) gets a leading apostrophe.
QString csvField(const QString& text);
QByteArray csvLine(const QStringList& fields);
// The byte-order mark and the heading line.
QByteArray csvHeader();
// One listed transaction as a line.
QByteArray csvRow(const Order& order);

// Writes every page of a range to a file: the pages are read in turn and written as they come, into a temporary file
// that takes the chosen name only when the last page is in. A failed page or a cancel leaves nothing behind (and an
// existing file of that name as it was).
class ListExport : public QObject {
    Q_OBJECT

public:
    explicit ListExport(ListingService& listing, QObject* parent = nullptr);
    ~ListExport() override;

    void setTimeout(int ms);
    // False (with `why`) when the file cannot be started; otherwise the outcome is signalled.
    bool start(const ListingService::Filter& filter, const QString& path, QString* why);
    void cancel();
    bool running() const;

    int rows() const { return m_rows; }
    qint64 moneyFen() const { return m_moneyFen; }
    qint64 refundFen() const { return m_refundFen; }

signals:
    void progress(int page, int totalPages);
    void done(int rows);
    void failed(const QString& why);

private:
    void onPage(int page, int totalPages, const replies::ListingPage& listing);
    void onFinished(const gateway::ListingFetch::Ending& ending);
    void fail(const QString& why);

    ListingService& m_listing;
    gateway::ListingFetch* m_fetch = nullptr;
    std::unique_ptr<QSaveFile> m_file;
    // A sale made while the pages are read pushes the rows down a place: the row at a page's edge then comes twice.
    QSet<QString> m_seen;
    int m_rows = 0;
    qint64 m_moneyFen = 0;
    qint64 m_refundFen = 0;
};

}  // namespace transactions

#include "comconfig.h"

#include "logcategories.h"
#include "privatefile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>

namespace {
constexpr int kOffBaud = 0;
constexpr int kOffSoftPort = 4;
constexpr int kOffShowPort = 8;
constexpr int kOffShowEnabled = 12;
constexpr int kOffCentsMode = 16;
constexpr int kOffRefundEnabled = 20;
constexpr int kOffRefundCard = 21;
constexpr int kOffItemName = 22;

using Image = unsigned char[ComConfig::kSize];

void putInt(Image& b, int off, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        b[off + i] = static_cast<unsigned char>((u >> (8 * i)) & 0xff);
    }
}
void putUnit(Image& b, int off, char16_t v) {
    b[off] = static_cast<unsigned char>(v & 0xff);
    b[off + 1] = static_cast<unsigned char>((v >> 8) & 0xff);
}
std::int32_t getInt(const QByteArray& b, int off) {
    return qFromLittleEndian<qint32>(b.constData() + off);
}
}  // namespace

QString ComConfig::itemName() const {
    int n = 0;
    while (n < kItemNameUnits && refundItemName[n] != 0) {
        ++n;
    }
    return QString(reinterpret_cast<const QChar*>(refundItemName), n);
}

void ComConfig::setItemName(const QString& name) {
    std::memset(refundItemName, 0, sizeof(refundItemName));
    const int n = qMin(name.size(), kItemNameMaxChars);
    for (int i = 0; i < n; ++i) {
        refundItemName[i] = name.at(i).unicode();
    }
}

QByteArray ComConfig::toBytes() const {
    Image b = {};
    putInt(b, kOffBaud, baudRate);
    putInt(b, kOffSoftPort, softPortNo);
    putInt(b, kOffShowPort, showPortNo);
    b[kOffShowEnabled] = showEnabled;
    putInt(b, kOffCentsMode, centsMode);
    b[kOffRefundEnabled] = refundEnabled;
    b[kOffRefundCard] = refundCardEnabled;
    // The last unit is always left as the terminator, whatever was loaded.
    for (int i = 0; i < kItemNameUnits - 1; ++i) {
        putUnit(b, kOffItemName + 2 * i, refundItemName[i]);
    }
    return QByteArray(reinterpret_cast<const char*>(b), kSize);
}

ComConfig ComConfig::fromBytes(const QByteArray& b) {
    ComConfig c;
    if (b.size() < kSize) {
        return c;
    }
    c.baudRate = getInt(b, kOffBaud);
    c.softPortNo = getInt(b, kOffSoftPort);
    c.showPortNo = getInt(b, kOffShowPort);
    c.showEnabled = static_cast<std::uint8_t>(b[kOffShowEnabled]);
    c.centsMode = getInt(b, kOffCentsMode);
    c.refundEnabled = static_cast<std::uint8_t>(b[kOffRefundEnabled]);
    c.refundCardEnabled = static_cast<std::uint8_t>(b[kOffRefundCard]);
    // The last unit is the terminator whatever the file holds, so a full name reads as the 50 characters a save
    // writes back, never as 51.
    for (int i = 0; i < kItemNameUnits - 1; ++i) {
        c.refundItemName[i] = qFromLittleEndian<quint16>(b.constData() + kOffItemName + 2 * i);
    }
    return c;
}

ComConfig loadComConfig(const QString& fileName) {
    QFile file(fileName);
    // Read-write so that a first start leaves an empty "app.config" behind, as the file has always appeared.
    if (file.open(QIODevice::ReadWrite)) {
        privatefile::restrict(fileName);
        return ComConfig::fromBytes(file.read(ComConfig::kSize));
    }
    return ComConfig();
}

bool saveComConfig(const ComConfig& c, const QString& fileName) {
    // Written to a temporary file and renamed over the old one, so a crash mid-write never leaves half a record. The
    // temporary file takes the old one's permissions, so that one is made private first.
    privatefile::ensure(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = c.toBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        qCWarning(lcSettings).noquote() << "app.config could not be written:" << file.errorString();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcSettings).noquote() << "app.config could not be written:" << file.errorString();
        return false;
    }
    qCInfo(lcSettings).noquote() << QStringLiteral(
                                        "app.config saved: baud %1, software port COM%2, display port COM%3, "
                                        "display %4, cents mode %5, refunds %6, item refunds %7, item name %8")
                                        .arg(c.baudRate)
                                        .arg(c.softPortNo)
                                        .arg(c.showPortNo)
                                        .arg(int(c.showEnabled))
                                        .arg(c.centsMode)
                                        .arg(int(c.refundEnabled))
                                        .arg(int(c.refundCardEnabled))
                                        .arg(c.itemName());
    return true;
}

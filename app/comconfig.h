#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The 124-byte little-endian record of "app.config".
struct ComConfig {
    static constexpr int kSize = 124;
    static constexpr int kItemNameUnits = 51;  // 50 characters and a terminating zero unit
    static constexpr int kItemNameMaxChars = kItemNameUnits - 1;

    std::int32_t baudRate = 9600;
    std::int32_t softPortNo = 9;
    std::int32_t showPortNo = 2;
    std::uint8_t showEnabled = 0;
    std::int32_t centsMode = 0;  // 0 keep, 1 round to jiao, 2 drop fen; others act as 0
    std::uint8_t refundEnabled = 0;
    std::uint8_t refundCardEnabled = 0;
    char16_t refundItemName[kItemNameUnits] = {};

    // The cents rule that applies: a stored value outside 0..2 acts as 0.
    int centsModeInEffect() const { return centsMode >= 0 && centsMode <= 2 ? centsMode : 0; }

    // Text up to the first zero unit.
    QString itemName() const;
    // Keeps at most 50 UTF-16 units so the zero terminator always fits.
    void setItemName(const QString& name);

    QByteArray toBytes() const;
    // Defaults when `bytes` holds fewer than 124 bytes. The item name's last unit always reads as the terminator.
    static ComConfig fromBytes(const QByteArray& bytes);
};

// Reads "app.config" from the working directory (created empty when missing); defaults unless 124 bytes are there.
ComConfig loadComConfig(const QString& fileName = QStringLiteral("app.config"));
// Writes the whole record atomically; false when it could not be written and committed.
bool saveComConfig(const ComConfig& record, const QString& fileName = QStringLiteral("app.config"));

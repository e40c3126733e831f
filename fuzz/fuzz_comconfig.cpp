// "app.config" from arbitrary bytes: the record loader, through a real file as the client reads it at start.
#include "app/comconfig.h"
#include "fuzz/fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));

    const ComConfig c = ComConfig::fromBytes(bytes);
    const QByteArray image = c.toBytes();
    FUZZ_CHECK(image.size() == ComConfig::kSize);
    if (bytes.size() < ComConfig::kSize) {
        FUZZ_CHECK(image == ComConfig().toBytes());
    } else {
        // Every byte of the record comes back as stored, except the padding after the display switch (zero) and
        // the item name's last unit (the terminator).
        QByteArray expected = bytes.left(ComConfig::kSize);
        expected[13] = expected[14] = expected[15] = 0;
        expected[ComConfig::kSize - 2] = 0;
        expected[ComConfig::kSize - 1] = 0;
        FUZZ_CHECK(image == expected);
    }
    // What the settings page shows is what a save writes back.
    FUZZ_CHECK(c.itemName().size() <= ComConfig::kItemNameMaxChars);
    FUZZ_CHECK(ComConfig::fromBytes(image).itemName() == c.itemName());

    // In memory where there is a tmpfs: truncating a file on a disk file system waits for the disk every time.
    static const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/fuzz_comconfig-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("app.config"));
    {
        QFile file(fileName);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    FUZZ_CHECK(loadComConfig(fileName).toBytes() == image);
    return 0;
}

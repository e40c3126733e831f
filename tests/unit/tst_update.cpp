// A new version's setup: its address under the vendor's site, and the signature check that decides whether it runs.
#include "app/update.h"

#include <sodium.h>

#include <QFile>
#include <QtTest>

namespace {

struct KeyPair {
    unsigned char pk[update::kPublicKeyBytes];
    unsigned char sk[update::kSecretKeyBytes];
    KeyPair() { crypto_sign_keypair(pk, sk); }
};

std::string setupBytes() {
    std::string bytes(200 * 1024, '\0');
    randombytes_buf(&bytes[0], bytes.size());
    return bytes;
}

QByteArray firstLine(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed() : QByteArray();
}

}  // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(sodium_init() >= 0); }

    void versionText_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("usable");
        QTest::newRow("three numbers") << "3.0.2" << true;
        QTest::newRow("two numbers") << "3.1" << true;
        QTest::newRow("one number") << "4" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("leading dot") << ".3.0" << false;
        QTest::newRow("trailing dot") << "3.0." << false;
        QTest::newRow("double dot") << "3..0" << false;
        QTest::newRow("a path") << "3.0.2/../../x" << false;
        QTest::newRow("a letter") << "3.0.2b" << false;
        QTest::newRow("a space") << "3.0 .2" << false;
        QTest::newRow("33 characters") << QString("1.").repeated(16) + "1" << false;
    }
    void versionText() {
        QFETCH(QString, version);
        QFETCH(bool, usable);
        QCOMPARE(update::isVersionText(version.toStdString()), usable);
        QCOMPARE(update::packageFileName(version.toStdString(), update::Package::WindowsSetup).empty(), !usable);
    }

    void addressUnderTheSite_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("url");
        const QString file = "cashier-setup-3.0.2.exe";
        QTest::newRow("host only") << "https://www.example.com"
                                   << "https://www.example.com/" + file;
        QTest::newRow("root") << "https://www.example.com/"
                              << "https://www.example.com/" + file;
        QTest::newRow("a page") << "https://www.example.com/index.html"
                                << "https://www.example.com/" + file;
        QTest::newRow("a folder") << "http://www.example.com/down/"
                                  << "http://www.example.com/down/" + file;
        QTest::newRow("port, query, fragment") << "http://127.0.0.1:8765/shop/a.php?x=/y#top"
                                               << "http://127.0.0.1:8765/shop/" + file;
        QTest::newRow("scheme in capitals") << "HTTPS://www.example.com/"
                                            << "https://www.example.com/" + file;
        QTest::newRow("not the web") << "file:///C:/Windows/"
                                     << "";
        QTest::newRow("no scheme") << "www.example.com"
                                   << "";
        QTest::newRow("no host") << "https:///x/"
                                 << "";
        QTest::newRow("a user name") << "https://evil@www.example.com/"
                                     << "";
        QTest::newRow("a space in the host") << "https://www.example.com x/"
                                             << "";
    }
    void addressUnderTheSite() {
        QFETCH(QString, site);
        QFETCH(QString, url);
        QCOMPARE(QString::fromStdString(update::fileUrl(site.toStdString(), "cashier-setup-3.0.2.exe")), url);
    }

    // Only the vendor's setup of the version asked for passes; anything else is refused before it could run.
    void signatureCheck_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("verdict");
        const int bad = static_cast<int>(update::Verdict::BadSignature);
        QTest::newRow("as signed") << "none" << static_cast<int>(update::Verdict::Good);
        QTest::newRow("first byte changed") << "first byte" << bad;
        QTest::newRow("one byte in the middle changed") << "middle byte" << bad;
        QTest::newRow("last byte changed") << "last byte" << bad;
        QTest::newRow("cut short by a byte") << "truncated" << bad;
        QTest::newRow("cut to half") << "half" << bad;
        QTest::newRow("a byte added") << "appended" << bad;
        QTest::newRow("another key's signature") << "wrong key" << bad;
        QTest::newRow("genuine setup of another version") << "wrong version" << bad;
        QTest::newRow("signature changed") << "signature byte" << bad;
        QTest::newRow("signature cut short") << "short signature" << static_cast<int>(update::Verdict::NoSignature);
        QTest::newRow("no signature") << "no signature" << static_cast<int>(update::Verdict::NoSignature);
        QTest::newRow("nothing received") << "empty" << static_cast<int>(update::Verdict::Empty);
        QTest::newRow("oversized") << "oversized" << static_cast<int>(update::Verdict::TooLarge);
        QTest::newRow("asked for no version") << "bad version" << static_cast<int>(update::Verdict::NotVersionText);
    }
    void signatureCheck() {
        QFETCH(QString, change);
        QFETCH(int, verdict);
        static const KeyPair vendor;
        static const KeyPair other;
        static const std::string genuine = setupBytes();
        std::string file = genuine;
        std::string asked = "3.0.2";
        std::string signature = update::sign(change == "wrong version" ? "3.0.1" : asked, genuine,
                                             change == "wrong key" ? other.sk : vendor.sk);
        QCOMPARE(signature.size(), update::kSignatureBytes);
        if (change == "first byte") {
            file[0] = static_cast<char>(file[0] ^ 1);
        } else if (change == "middle byte") {
            file[file.size() / 2] = static_cast<char>(file[file.size() / 2] ^ 0x80);
        } else if (change == "last byte") {
            file.back() = static_cast<char>(file.back() + 1);
        } else if (change == "truncated") {
            file.pop_back();
        } else if (change == "half") {
            file.resize(file.size() / 2);
        } else if (change == "appended") {
            file.push_back('\0');
        } else if (change == "signature byte") {
            signature[10] = static_cast<char>(signature[10] ^ 4);
        } else if (change == "short signature") {
            signature.pop_back();
        } else if (change == "no signature") {
            signature.clear();
        } else if (change == "empty") {
            file.clear();
        } else if (change == "oversized") {
            file.resize(update::kMaxSetupBytes + 1);
        } else if (change == "bad version") {
            asked = "3.0.2 ";
        }
        const update::Verdict got = update::verify(asked, file, signature, vendor.pk);
        QCOMPARE(static_cast<int>(got), verdict);
        QCOMPARE(update::refusal(got).empty(), got == update::Verdict::Good);
    }

    // Linux: only a package installed from a file is fetched by the updater; one from a repository is the package
    // manager's to update.
    void debianSource_data() {
        QTest::addColumn<QString>("policy");
        QTest::addColumn<int>("source");
        const QString head = "cashier:\n  Installed: 3.0.1\n  Candidate: 3.0.1\n  Version table:\n";
        QTest::newRow("from a file") << head + " *** 3.0.1 100\n        100 /var/lib/dpkg/status\n"
                                     << static_cast<int>(update::DebianSource::LocalFile);
        QTest::newRow("from a repository")
            << head +
                   " *** 3.0.1 500\n        500 https://deb.example.com bookworm/main amd64 Packages\n"
                   "        100 /var/lib/dpkg/status\n"
            << static_cast<int>(update::DebianSource::Repository);
        QTest::newRow("a file, a newer one in a repository")
            << "cashier:\n  Installed: 3.0.1\n  Candidate: 3.0.2\n  Version table:\n     3.0.2 500\n"
               "        500 https://deb.example.com bookworm/main amd64 Packages\n *** 3.0.1 100\n"
               "        100 /var/lib/dpkg/status\n"
            << static_cast<int>(update::DebianSource::LocalFile);
        QTest::newRow("from a repository, an older one listed after")
            << head +
                   " *** 3.0.1 500\n        500 https://deb.example.com bookworm/main amd64 Packages\n"
                   "        100 /var/lib/dpkg/status\n     3.0.0 500\n        500 /var/lib/dpkg/status\n"
            << static_cast<int>(update::DebianSource::Repository);
        QTest::newRow("not installed") << "cashier:\n  Installed: (none)\n  Candidate: 3.0.2\n  Version table:\n"
                                          "     3.0.2 500\n        500 https://deb.example.com b/main amd64 Packages\n"
                                       << static_cast<int>(update::DebianSource::NotInstalled);
        QTest::newRow("no such package") << "" << static_cast<int>(update::DebianSource::NotInstalled);
    }
    void debianSource() {
        QFETCH(QString, policy);
        QFETCH(int, source);
        QCOMPARE(static_cast<int>(update::debianSource(policy.toStdString())), source);
    }

    // The development key pair in the repository is one pair, and the build trusts its public half by default.
    void developmentKeysArePair() {
        unsigned char pk[update::kPublicKeyBytes];
        unsigned char sk[update::kSecretKeyBytes];
        QVERIFY(update::publicKeyFromHex(firstLine(SOURCE_DIR "/packaging/keys/dev-update.pub").toStdString(), pk));
        QVERIFY(update::secretKeyFromHex(firstLine(SOURCE_DIR "/packaging/keys/dev-update.key").toStdString(), sk));
        const std::string file = setupBytes();
        QCOMPARE(update::verify("3.0.2", file, update::sign("3.0.2", file, sk), pk), update::Verdict::Good);
        QVERIFY(!update::publicKeyFromHex(std::string(63, 'a'), pk));
        QVERIFY(!update::publicKeyFromHex(std::string(64, 'g'), pk));
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"

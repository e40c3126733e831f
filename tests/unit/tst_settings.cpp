// The two settings files: the 124-byte record and data.ini.
#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/money.h"
#include "app/version.h"
#include "testsupport.h"

#include <QFile>
#include <QTextCodec>
#include <QtEndian>
#include <QtTest>

using namespace testsupport;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void recordDefaults_data();
    void recordDefaults();
    void recordRoundTrip();
    void recordOffsets();
    void recordItemNameTruncated();
    void recordFullItemNameReadsAsSaved();
    void recordSaveFailsOnUnwritableDir();
    void chineseShopNameIsGb2312();
    void passwordDigest();
    void oldClearPasswordStillVerifies();
    void defaultsOfOurKeys();
    void settingsFilesArePrivate_data();
    void settingsFilesArePrivate();
    void vendorUrlOnlyWeb_data();
    void vendorUrlOnlyWeb();
    void addressesFromTheSiteFile_data();
    void addressesFromTheSiteFile();
    void money_data();
    void money();
    void newerVersion_data();
    void newerVersion();
};

void TestSettings::recordDefaults_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("short") << QByteArray(123, '\x7f') << true;
}

void TestSettings::recordDefaults() {
    QFETCH(QByteArray, content);
    QFETCH(bool, create);
    testsupport::TempWorkDir dir;
    if (create) {
        QFile f(dir.file("app.config"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    till().record().baudRate = 1;  // must be replaced by the defaults
    till().loadRecord();
    const ComConfig& c = till().record();
    QCOMPARE(c.baudRate, 9600);
    QCOMPARE(c.softPortNo, 9);
    QCOMPARE(c.showPortNo, 2);
    QCOMPARE(int(c.showEnabled), 0);
    QCOMPARE(c.centsMode, 0);
    QCOMPARE(int(c.refundEnabled), 0);
    QCOMPARE(int(c.refundCardEnabled), 0);
    QCOMPARE(c.itemName(), QString());
    // A first start leaves the file behind, untouched.
    QVERIFY(QFile::exists(dir.file("app.config")));
    QCOMPARE(QFileInfo(dir.file("app.config")).size(), qint64(content.size()));
}

void TestSettings::recordRoundTrip() {
    testsupport::TempWorkDir dir;
    const QString name50 = QString(QStringLiteral("手牌房间号ABCDE")).repeated(5);
    QCOMPARE(name50.size(), 50);
    ComConfig& c = till().record();
    c.baudRate = 19200;
    c.softPortNo = 3;
    c.showPortNo = 7;
    c.showEnabled = 1;
    c.centsMode = 2;
    c.refundEnabled = 1;
    c.refundCardEnabled = 1;
    c.setItemName(name50);
    QVERIFY(till().saveRecord());
    QCOMPARE(QFileInfo(dir.file("app.config")).size(), qint64(124));
    c = ComConfig();
    till().loadRecord();
    QCOMPARE(c.baudRate, 19200);
    QCOMPARE(c.softPortNo, 3);
    QCOMPARE(c.showPortNo, 7);
    QCOMPARE(int(c.showEnabled), 1);
    QCOMPARE(c.centsMode, 2);
    QCOMPARE(int(c.refundEnabled), 1);
    QCOMPARE(int(c.refundCardEnabled), 1);
    QCOMPARE(c.itemName(), name50);
}

void TestSettings::recordOffsets() {
    // A record built by hand, byte by byte, as another writer of the file would lay it out.
    QByteArray image(124, '\0');
    qToLittleEndian<qint32>(4800, image.data() + 0);
    qToLittleEndian<qint32>(5, image.data() + 4);
    qToLittleEndian<qint32>(6, image.data() + 8);
    image[12] = 1;
    qToLittleEndian<qint32>(1, image.data() + 16);
    image[20] = 1;
    image[21] = 0;
    const QString name = QStringLiteral("手牌");
    for (int i = 0; i < name.size(); ++i) {
        qToLittleEndian<quint16>(name.at(i).unicode(), image.data() + 22 + 2 * i);
    }
    const ComConfig c = ComConfig::fromBytes(image);
    QCOMPARE(c.baudRate, 4800);
    QCOMPARE(c.softPortNo, 5);
    QCOMPARE(c.showPortNo, 6);
    QCOMPARE(int(c.showEnabled), 1);
    QCOMPARE(c.centsMode, 1);
    QCOMPARE(int(c.refundEnabled), 1);
    QCOMPARE(int(c.refundCardEnabled), 0);
    QCOMPARE(c.itemName(), name);
    // Writing it back gives the very same bytes (padding zero).
    QCOMPARE(c.toBytes(), image);
}

void TestSettings::recordItemNameTruncated() {
    ComConfig c;
    c.setItemName(QString(60, QLatin1Char('x')));
    QCOMPARE(c.itemName().size(), 50);
    const QByteArray bytes = c.toBytes();
    QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 22 + 100), quint16(0));
}

void TestSettings::recordFullItemNameReadsAsSaved() {
    // A file whose name field has no zero unit at all: the name is the 50 characters a save writes back.
    QByteArray image = ComConfig().toBytes();
    for (int i = 0; i < ComConfig::kItemNameUnits; ++i) {
        qToLittleEndian<quint16>(QChar(QLatin1Char('a' + i % 26)).unicode(), image.data() + 22 + 2 * i);
    }
    const ComConfig c = ComConfig::fromBytes(image);
    QCOMPARE(c.itemName().size(), ComConfig::kItemNameMaxChars);
    QCOMPARE(ComConfig::fromBytes(c.toBytes()).itemName(), c.itemName());
}

void TestSettings::recordSaveFailsOnUnwritableDir() {
    testsupport::TempWorkDir dir;
    // A directory where the file should be: neither the write nor the rename can succeed.
    QVERIFY(QDir(dir.path()).mkdir("app.config"));
    QVERIFY(!till().saveRecord());
    QVERIFY(!saveComConfig(ComConfig(), dir.file("no/such/dir/app.config")));
}

void TestSettings::chineseShopNameIsGb2312() {
    testsupport::TempWorkDir dir;
    const QString name = QStringLiteral("岚舟门店  南山分店");
    till().settings().setShopName(name);
    QFile f(dir.file("data.ini"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    QVERIFY2(raw.contains(QTextCodec::codecForName("GB2312")->fromUnicode(name)), raw.constData());
    QVERIFY(!raw.contains(name.toUtf8()));
    restartTill();
    QCOMPARE(till().settings().shopName(), name);
}

void TestSettings::passwordDigest() {
    testsupport::TempWorkDir dir;
    till().settings().saveLogin("demo", "demo123", false);
    const QString stored = till().settings().savedLogin().at(1);
    QVERIFY(isPasswordDigest(stored));
    QVERIFY(!stored.contains("demo123"));
    QFile f(dir.file("data.ini"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("demo123"));
    QVERIFY(till().settings().verifyLoginPassword("demo123"));
    QVERIFY(!till().settings().verifyLoginPassword("demo124"));
    QVERIFY(!till().settings().verifyLoginPassword(""));
    // Salted: the same password twice gives two different digests.
    QVERIFY(hashLoginPassword("demo123") != hashLoginPassword("demo123"));
}

void TestSettings::oldClearPasswordStillVerifies() {
    testsupport::TempWorkDir dir;
    {
        QFile f(dir.file("data.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[data_config]\nuser=demo\npwd=demo123\nremPwdstatus=false\n");
    }
    restartTill();
    QVERIFY(till().settings().verifyLoginPassword("demo123"));
    QVERIFY(!till().settings().verifyLoginPassword("demo12"));
    till().settings().saveLogin("demo", "demo123", false);
    QVERIFY(isPasswordDigest(till().settings().savedLogin().at(1)));
}

void TestSettings::defaultsOfOurKeys() {
    testsupport::TempWorkDir dir;
    QCOMPARE(DataConfig(dir.file("data.ini"), dir.file("site.ini")).gatewayUrl(), QString());
    QCOMPARE(till().settings().check(), 0);
    QCOMPARE(till().settings().checkUpdata(), 0);
    QVERIFY(!till().settings().servicePhone().isEmpty());
    till().settings().setGatewayUrl("http://10.1.1.1/api.php/Gateway/index");
    till().settings().setServicePhone("");
    restartTill();
    QCOMPARE(till().settings().gatewayUrl(), QString("http://10.1.1.1/api.php/Gateway/index"));
    // An explicitly empty phone stays empty rather than falling back.
    QCOMPARE(till().settings().servicePhone(), QString());
#ifdef Q_OS_WIN
    QCOMPARE(till().settings().serialDevice("COM9"), QString("COM9"));
#else
    QCOMPARE(till().settings().serialDevice("COM9"), QString("/dev/ttyS8"));
#endif
    till().settings().setSerialDevice("COM9", "/dev/pts/7");
    QCOMPARE(till().settings().serialDevice("COM9"), QString("/dev/pts/7"));
    // A device put into data.ini by hand while the client runs is what the next port opening uses.
    {
        QFile byHand(till().settings().fileName());
        QVERIFY(byHand.open(QIODevice::ReadOnly));
        const QByteArray text = byHand.readAll().replace("/dev/pts/7", "/dev/pts/12");
        byHand.close();
        QVERIFY(byHand.open(QIODevice::WriteOnly | QIODevice::Truncate));
        byHand.write(text);
        byHand.flush();
        // Saved later than the copy the accessor has read, without waiting for the clock to move on.
        QVERIFY(byHand.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    }
    QCOMPARE(till().settings().serialDevice("COM9"), QString("/dev/pts/12"));
}

void TestSettings::settingsFilesArePrivate_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("existing");  // left readable by others (an older version, a copy)
    QTest::newRow("data.ini, new") << "data.ini" << false;
    QTest::newRow("data.ini, existing") << "data.ini" << true;
    QTest::newRow("app.config, new") << "app.config" << false;
    QTest::newRow("app.config, existing") << "app.config" << true;
}

void TestSettings::settingsFilesArePrivate() {
#ifdef Q_OS_WIN
    QSKIP("Windows keeps a user's files private by the access list of the user's own folder, not by mode bits");
#endif
    QFETCH(QString, file);
    QFETCH(bool, existing);
    testsupport::TempWorkDir dir;
    const QString path = dir.file(file);
    const auto mode = [&path] {
        const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                             QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                             QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        return QFile::permissions(path) & all;
    };
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (existing) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file == "data.ini" ? QByteArray("[data_config]\nuser=demo\n") : QByteArray(ComConfig::kSize, '\0'));
        f.close();
        QVERIFY(QFile::setPermissions(path, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        restartTill();
    }
    // Opened (at start-up), then written by a settings page.
    if (file == "data.ini") {
        (void)till().settings().shopName();
        QCOMPARE(mode(), existing ? ownerOnly : QFileDevice::Permissions());
        till().settings().setShopName(QStringLiteral("西湖店"));
    } else {
        till().loadRecord();
        QCOMPARE(mode(), ownerOnly);
        till().record().baudRate = 19200;
        QVERIFY(till().saveRecord());
    }
    QCOMPARE(mode(), ownerOnly);
}

void TestSettings::vendorUrlOnlyWeb_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("opened");  // as stored, rather than the default
    QTest::newRow("http") << "http://shop.example/help" << true;
    QTest::newRow("https") << "https://shop.example/" << true;
    QTest::newRow("scheme in capitals") << "HTTPS://shop.example/" << true;
    QTest::newRow("a local file") << "file:///etc/passwd" << false;
    QTest::newRow("a program's scheme") << "mailto:someone@shop.example" << false;
    QTest::newRow("a share") << "smb://fileserver/share" << false;
    QTest::newRow("no scheme") << "shop.example" << false;
    QTest::newRow("http without a host") << "http:///etc/passwd" << false;
}

void TestSettings::vendorUrlOnlyWeb() {
    QFETCH(QString, stored);
    QFETCH(bool, opened);
    testsupport::TempWorkDir dir;
    // The key is set by hand in the file; the client never writes it.
    QFile file(dir.file("data.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[data_config]\nvendorUrl=" + stored.toUtf8() + "\n");
    file.close();
    QCOMPARE(isWebAddress(stored), opened);
    QCOMPARE(DataConfig(dir.file("data.ini"), dir.file("site.ini")).vendorUrl(), opened ? stored : QString());
}

// What a shop PC's client finds: the installer's machine-wide file, under what the cashier's own data.ini says.
void TestSettings::addressesFromTheSiteFile_data() {
    QTest::addColumn<QByteArray>("dataIni");
    QTest::addColumn<QByteArray>("siteIni");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("vendor");
    const QByteArray site = "[data_config]\ngatewayUrl=https://gw.example/x\nvendorUrl=https://www.example/\n";
    const QByteArray own = "[data_config]\ngatewayUrl=http://10.0.0.5/gw\nvendorUrl=http://v/\n";
    QTest::newRow("site file only") << QByteArray() << site << "https://gw.example/x"
                                    << "https://www.example/";
    QTest::newRow("data.ini wins") << own << site << "http://10.0.0.5/gw"
                                   << "http://v/";
    QTest::newRow("empty values fall through")
        << QByteArray("[data_config]\ngatewayUrl= \n") << site << "https://gw.example/x"
        << "https://www.example/";
    // Without a site, or with one that is no web address: the gateway's own, port included.
    QTest::newRow("the gateway's site") << QByteArray("[data_config]\nvendorUrl=file:///c:/x.exe\n")
                                        << QByteArray("[data_config]\ngatewayUrl=https://gw.example:8443/a/b\n")
                                        << "https://gw.example:8443/a/b"
                                        << "https://gw.example:8443/";
    QTest::newRow("nothing anywhere") << QByteArray() << QByteArray() << QString() << QString();
}

void TestSettings::addressesFromTheSiteFile() {
    QFETCH(QByteArray, dataIni);
    QFETCH(QByteArray, siteIni);
    QFETCH(QString, gateway);
    QFETCH(QString, vendor);
    testsupport::TempWorkDir dir;
    for (const auto& [name, content] : {std::pair<QString, QByteArray>{"data.ini", dataIni}, {"site.ini", siteIni}}) {
        if (!content.isEmpty()) {
            QFile f(dir.file(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
    }
    DataConfig config(dir.file("data.ini"), dir.file("site.ini"));
    QCOMPARE(config.gatewayUrl(), gateway);
    QCOMPARE(config.vendorUrl(), vendor);
}

void TestSettings::money_data() {
    QTest::addColumn<QString>("yuan");
    QTest::addColumn<qint64>("fen");  // -1: refused
    QTest::addColumn<QString>("two");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("whole") << "12" << qint64(1200) << "12.00"
                           << "12";
    QTest::newRow("one decimal") << "12.5" << qint64(1250) << "12.50"
                                 << "12.5";
    QTest::newRow("two decimals") << "12.34" << qint64(1234) << "12.34"
                                  << "12.34";
    QTest::newRow("large exact") << "1234567.89" << qint64(123456789) << "1234567.89"
                                 << "1234567.89";
    QTest::newRow("one fen") << "0.01" << qint64(1) << "0.01"
                             << "0.01";
    QTest::newRow("trailing point") << "5." << qint64(500) << "5.00"
                                    << "5";
    QTest::newRow("leading point") << ".5" << qint64(50) << "0.50"
                                   << "0.5";
    QTest::newRow("third decimal rounds up") << "12.345" << qint64(1235) << "12.35"
                                             << "12.35";
    QTest::newRow("third decimal rounds down") << "12.344" << qint64(1234) << "12.34"
                                               << "12.34";
    QTest::newRow("zero") << "0.00" << qint64(0) << "0.00"
                          << "0";
    QTest::newRow("letters") << "abc" << qint64(-1) << ""
                             << "";
    QTest::newRow("two points") << "1.2.3" << qint64(-1) << ""
                                << "";
    QTest::newRow("empty") << "" << qint64(-1) << ""
                           << "";
    QTest::newRow("negative") << "-1" << qint64(-1) << ""
                              << "";
}

void TestSettings::money() {
    QFETCH(QString, yuan);
    QFETCH(qint64, fen);
    QFETCH(QString, two);
    QFETCH(QString, trimmed);
    const auto parsed = money::yuanTextToFen(yuan);
    if (fen < 0) {
        QVERIFY(!parsed.has_value());
        return;
    }
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, fen);
    QCOMPARE(money::fenToYuan2(fen), two);
    QCOMPARE(money::fenToYuanTrimmed(fen), trimmed);
}

void TestSettings::newerVersion_data() {
    QTest::addColumn<QString>("offered");
    QTest::addColumn<bool>("newer");
    QTest::newRow("3.0.2") << "3.0.2" << true;
    QTest::newRow("3.1") << "3.1" << true;
    QTest::newRow("same") << "3.0.1" << false;
    QTest::newRow("older") << "3.0.0" << false;
    QTest::newRow("3.0.10 after 3.0.9") << "3.0.10" << true;
    QTest::newRow("10.0.0 is a later major") << "10.0.0" << true;
    QTest::newRow("2.9.99") << "2.9.99" << false;
    QTest::newRow("one more part") << "3.0.1.1" << true;
    QTest::newRow("blanks around") << " 3.0.2 " << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("not a version") << "latest" << false;
}

void TestSettings::newerVersion() {
    QFETCH(QString, offered);
    QFETCH(bool, newer);
    QCOMPARE(isNewerVersion(offered, "3.0.1"), newer);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// Typed access to the group "data_config" of "data.ini" in the working directory.
// Values are GB2312 in the file so Chinese store and printer names survive older readers.
// The gateway's and the vendor site's addresses may also come from the machine-wide site file (the installer's,
// platform::siteSettingsFile(), same group and keys): data.ini's own value wins.
class DataConfig {
public:
    // An empty `siteFile` is the machine's.
    explicit DataConfig(const QString& fileName = QStringLiteral("data.ini"), const QString& siteFile = QString());

    int check();
    void setCheck(const QString& value);
    QString printerName();
    void setPrinterName(const QString& name);
    QString shopName();
    void setShopName(const QString& name);

    // Stores the account, a salted Argon2id digest of the password (never the password itself) and the flag.
    void saveLogin(const QString& user, const QString& pwd, bool remember);
    // [user, pwd (the stored digest, or a clear value left by an older version), remPwdstatus]
    QStringList savedLogin();
    // True when `pwd` matches the stored login password: a digest, or a clear value from an older version.
    bool verifyLoginPassword(const QString& pwd);
    // After the gateway accepted a new login password: its digest replaces the stored one, account and flag kept.
    // False when no digest could be made (nothing is written then).
    bool storeLoginPassword(const QString& pwd);

    void setCheckUpdata(int value);
    int checkUpdata();

    // Keys of ours in the same group. The gateway: data.ini's, else the site file's, else empty (none is set: nothing
    // can be signed in to; the login window says so).
    QString gatewayUrl();
    void setGatewayUrl(const QString& url);
    QString servicePhone();
    void setServicePhone(const QString& phone);
    // An http or https address only, from data.ini, else the site file, else the gateway's own site (its scheme and
    // host); empty when none is known. Anything but a web address is passed over.
    QString vendorUrl();
    // The gateway's time zone ("gatewayTimeZone"): an IANA name or a UTC offset ("UTC+08:00"); empty means the
    // gateway's own, China Standard Time. Set by hand in the file.
    QString gatewayTimeZone();

    // Group "serial_devices": "COMn" -> device path; the operating system's default when not configured.
    QString serialDevice(const QString& comName);
    void setSerialDevice(const QString& comName, const QString& path);

    QString fileName() const { return m_settings.fileName(); }
    // The machine-wide file the addresses fall back to.
    QString siteFile() const { return m_siteFile; }
    // The folder of the operations log: "logs" beside data.ini.
    QString logFolder() const;

    static const char* const kNoPrinter;  // "不打印小票"
    static const char* const kDefaultServicePhone;

private:
    QVariant read(const char* key, const QVariant& def = QVariant());
    void write(const char* key, const QVariant& value, bool syncNow = true);
    void sync();

    QSettings m_settings;
    QString m_siteFile;
    // The site file's addresses, read once: it changes only when the program is installed again.
    QString m_siteGateway, m_siteVendor;
    // Last value read of each key, as the accessor has always kept them.
    QString m_user, m_pwd, m_remember, m_printer, m_shop;
};

// Argon2id digest helpers (libsodium), exposed for tests.
QString hashLoginPassword(const QString& pwd);
bool isPasswordDigest(const QString& stored);
// True for an http or https address with a host: what the client hands to the desktop's web browser.
bool isWebAddress(const QString& url);

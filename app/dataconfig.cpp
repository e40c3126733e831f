#include "dataconfig.h"

#include "logcategories.h"
#include "platform/platform.h"
#include "privatefile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>
#include <QUrl>
#include <sodium.h>

#include <memory>

const char* const DataConfig::kNoPrinter = "不打印小票";
const char* const DataConfig::kDefaultServicePhone = "400-800-9090";

namespace {
const QString kGroup = QStringLiteral("data_config");
const QString kSerialGroup = QStringLiteral("serial_devices");
const char* const kDigestPrefix = "$argon2id$";
}  // namespace

QString DataConfig::logFolder() const {
    return QFileInfo(fileName()).absoluteDir().filePath(QStringLiteral("logs"));
}

DataConfig::DataConfig(const QString& fileName, const QString& siteFile)
    : m_settings(fileName, QSettings::IniFormat),
      m_siteFile(siteFile.isEmpty() ? platform::siteSettingsFile() : siteFile) {
    m_settings.setIniCodec(QTextCodec::codecForName("GB2312"));
    if (QFileInfo::exists(m_siteFile)) {
        QSettings site(m_siteFile, QSettings::IniFormat);
        site.beginGroup(kGroup);
        m_siteGateway = site.value(QStringLiteral("gatewayUrl")).toString().trimmed();
        m_siteVendor = site.value(QStringLiteral("vendorUrl")).toString().trimmed();
    }
    // A file an older version left readable by others is narrowed at once, before anything more is written to it.
    privatefile::restrict(m_settings.fileName());
}

void DataConfig::sync() {
    // The file is made (empty) and private before its first write: the rewrite keeps its permissions.
    privatefile::ensure(m_settings.fileName());
    m_settings.sync();
}

QVariant DataConfig::read(const char* key, const QVariant& def) {
    m_settings.beginGroup(kGroup);
    QVariant value = m_settings.value(QLatin1String(key), def);
    m_settings.endGroup();
    return value;
}

void DataConfig::write(const char* key, const QVariant& value, bool syncNow) {
    m_settings.beginGroup(kGroup);
    if (m_settings.value(QLatin1String(key)).toString() != value.toString()) {
        // The digest of the login password is no one's business, not even support's.
        const bool secret = qstrcmp(key, "pwd") == 0;
        qCInfo(lcSettings).noquote() << "data.ini:" << key << "="
                                     << (secret ? QStringLiteral("(changed, not shown)") : value.toString());
    }
    m_settings.setValue(QLatin1String(key), value);
    m_settings.endGroup();
    // Written through at once: a setting must survive a crash or a power cut right after it was made.
    if (syncNow) {
        sync();
        if (m_settings.status() != QSettings::NoError) {
            qCWarning(lcSettings).noquote() << "data.ini could not be written:" << m_settings.fileName();
        }
    }
}

int DataConfig::check() {
    return read("check").toInt();
}
void DataConfig::setCheck(const QString& value) {
    write("check", value);
}

QString DataConfig::printerName() {
    return m_printer = read("printerName").toString();
}
void DataConfig::setPrinterName(const QString& name) {
    write("printerName", name);
}

QString DataConfig::shopName() {
    return m_shop = read("shopName").toString();
}
void DataConfig::setShopName(const QString& name) {
    write("shopName", name);
}

void DataConfig::saveLogin(const QString& user, const QString& pwd, bool remember) {
    // The three keys reach the file together, in one rewrite.
    write("user", user, false);
    write("pwd", hashLoginPassword(pwd), false);
    write("remPwdstatus", QVariant(remember));
}

QStringList DataConfig::savedLogin() {
    m_user = read("user").toString();
    m_pwd = read("pwd").toString();
    m_remember = read("remPwdstatus").toString();
    return {m_user, m_pwd, m_remember};
}

bool DataConfig::verifyLoginPassword(const QString& pwd) {
    const QString stored = read("pwd").toString();
    if (stored.isEmpty()) {
        return false;
    }
    if (!isPasswordDigest(stored)) {
        // A clear value written by an older version; the next login replaces it by a digest.
        return stored == pwd;
    }
    if (sodium_init() < 0) {
        return false;
    }
    const QByteArray digest = stored.toLatin1();
    const QByteArray utf8 = pwd.toUtf8();
    return crypto_pwhash_str_verify(digest.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

bool DataConfig::storeLoginPassword(const QString& pwd) {
    const QString digest = hashLoginPassword(pwd);
    if (digest.isEmpty()) {
        return false;
    }
    write("pwd", digest);
    return true;
}

void DataConfig::setCheckUpdata(int value) {
    write("check_updata", value);
}
int DataConfig::checkUpdata() {
    return read("check_updata").toInt();
}

QString DataConfig::gatewayUrl() {
    const QString url = read("gatewayUrl").toString().trimmed();
    return url.isEmpty() ? m_siteGateway : url;
}
void DataConfig::setGatewayUrl(const QString& url) {
    write("gatewayUrl", url);
}

QString DataConfig::servicePhone() {
    const QVariant v = read("servicePhone");
    return v.isValid() ? v.toString() : QString::fromLatin1(kDefaultServicePhone);
}
void DataConfig::setServicePhone(const QString& phone) {
    write("servicePhone", phone);
}

QString DataConfig::gatewayTimeZone() {
    return read("gatewayTimeZone").toString().trimmed();
}

QString DataConfig::vendorUrl() {
    // The address goes to the desktop's opener, which would as readily run a file or another program's scheme.
    for (const QString& url : {read("vendorUrl").toString().trimmed(), m_siteVendor}) {
        if (isWebAddress(url)) {
            return url;
        }
        if (!url.isEmpty()) {
            qWarning() << "vendorUrl is not an http or https address and is passed over:" << url;
        }
    }
    // The merchant's site is most likely where its gateway is.
    const QUrl gateway(gatewayUrl());
    return isWebAddress(gateway.toString()) ? gateway.resolved(QUrl(QStringLiteral("/"))).toString() : QString();
}

QString DataConfig::serialDevice(const QString& comName) {
    // Devices are set by hand in the file (a POS on a pseudo-terminal gets a new one each time): read it afresh.
    m_settings.sync();
    m_settings.beginGroup(kSerialGroup);
    const QString path = m_settings.value(comName).toString().trimmed();
    m_settings.endGroup();
    return path.isEmpty() ? platform::defaultSerialDevice(comName) : path;
}

void DataConfig::setSerialDevice(const QString& comName, const QString& path) {
    m_settings.beginGroup(kSerialGroup);
    m_settings.setValue(comName, path);
    m_settings.endGroup();
    sync();
}

QString hashLoginPassword(const QString& pwd) {
    if (sodium_init() < 0) {
        return QString();
    }
    const QByteArray utf8 = pwd.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        // Out of memory: store nothing rather than the password itself.
        return QString();
    }
    return QString::fromLatin1(out);
}

bool isWebAddress(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

bool isPasswordDigest(const QString& stored) {
    return stored.startsWith(QLatin1String(kDigestPrefix));
}

// install/updata beside the Linux client: what its version check starts with the version the gateway names. A client
// installed from a .deb file gets the new package as the Windows updater gets its setup: fetched from the vendor's
// site with its signature (app/update.h), shown with its progress and 取消, kept in the cashier's folder, and
// installed once the client has ended and no charge or refund is open, through the desktop's administrator prompt
// (pkexec), after which the client starts again. A client from a repository is the package manager's to update.
#include "app/dataconfig.h"
#include "app/update.h"
#include "payments/openmoney.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

const QString kTitle = QStringLiteral("版本更新");

void tell(const QString& text, QMessageBox::Icon icon = QMessageBox::Warning) {
    QMessageBox box(icon, kTitle, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

enum class Got { Ok, Cancelled, Failed, TooLarge };

// GET `url`, at most `limit` bytes; https with Qt's certificate checks and TLS 1.2 or later, never redirected to a
// less safe scheme.
Got download(const QString& url, qint64 limit, QProgressDialog* progress, QByteArray* out) {
    out->clear();
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(30000);
    if (url.startsWith(QLatin1String("https://"))) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setProtocol(QSsl::TlsV1_2OrLater);
        request.setSslConfiguration(ssl);
    }
    QNetworkReply* reply = manager.get(request);
    Got got = Got::Ok;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 done, qint64 total) {
        if (done > limit || total > limit) {
            got = Got::TooLarge;
            reply->abort();
            return;
        }
        *out += reply->readAll();
        if (progress) {
            progress->setMaximum(total > 0 ? static_cast<int>(total / 1024) : 0);
            progress->setValue(static_cast<int>(done / 1024));
            progress->setLabelText(total > 0 ? QStringLiteral("已下载 %1 MB，共 %2 MB")
                                                   .arg(done / 1048576.0, 0, 'f', 1)
                                                   .arg(total / 1048576.0, 0, 'f', 1)
                                             : QStringLiteral("已下载 %1 MB").arg(done / 1048576.0, 0, 'f', 1));
        }
    });
    if (progress) {
        QObject::connect(progress, &QProgressDialog::canceled, &loop, [&] {
            got = Got::Cancelled;
            reply->abort();
        });
    }
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    *out += reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    const bool failed =
        reply->error() != QNetworkReply::NoError || status != 200 || (declared > 0 && out->size() != declared);
    reply->deleteLater();
    if (got != Got::Ok) {
        return got;
    }
    if (out->size() > limit) {
        return Got::TooLarge;
    }
    return failed ? Got::Failed : Got::Ok;
}

QByteArray readFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > limit) {
        return QByteArray();
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool trustedKey(unsigned char key[update::kPublicKeyBytes]) {
    return update::publicKeyFromHex(CASHIER_UPDATE_PUBLIC_KEY, key);
}

// The client this updater belongs to: install/.. holds it.
QString clientProgram() {
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).filePath("cashier");
}

// Whether a copy of the client still runs (any account's: its files are about to be replaced).
bool clientRunning() {
    const QString client = QFileInfo(clientProgram()).canonicalFilePath();
    if (client.isEmpty()) {
        return false;  // no client there: none of it can run (and an unreadable process's name is empty too)
    }
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : processes) {
        if (pid.toInt() > 0 && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == client) {
            return true;
        }
    }
    return false;
}

// The client again, through the launcher (it settles into the user's own folder).
void startClient() {
    const QString launcher =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../../../bin/cashier"));
    QProcess::startDetached(QFileInfo::exists(launcher) ? launcher : clientProgram(), {});
}

update::DebianSource packageSource() {
    QProcess policy;
    policy.start(QStringLiteral("apt-cache"), {QStringLiteral("policy"), QStringLiteral("cashier")});
    if (!policy.waitForFinished(30000)) {
        policy.kill();
        policy.waitForFinished();
        return update::DebianSource::NotInstalled;
    }
    return update::debianSource(policy.readAllStandardOutput().toStdString());
}

int installWhenQuiet(const QString& package, const std::string& version, qint64 client) {
    const QString v = QString::fromStdString(version);
    // One at a time: a second 更新's installer leaves it to the first.
    QLockFile once(QDir::current().filePath(QStringLiteral("update/installing.lock")));
    if (!once.tryLock(0)) {
        return 1;
    }
    while (client > 0 && kill(static_cast<pid_t>(client), 0) == 0) {
        QThread::sleep(1);
    }
    const std::string journal =
        QFile::encodeName(QDir::current().filePath(QStringLiteral("payments.db"))).toStdString();
    bool told = false;
    for (;;) {
        if (clientRunning()) {
            QThread::sleep(2);
            continue;
        }
        const int open = openmoney::openAttempts(journal);
        if (open == 0) {
            break;
        }
        if (!told) {
            tell(open < 0
                     ? QStringLiteral("无法读取本机的交易记录，不能确认没有进行中的收款或退款，新版本 %1 暂不安装。"
                                      "收银软件将重新启动。")
                           .arg(v)
                     : QStringLiteral("本机还有结果未确认的收款或退款，新版本 %1 暂不安装。收银软件将重新启动，"
                                      "请核对后再退出，新版本会在那时安装。")
                           .arg(v));
            told = true;
            startClient();
        }
        QThread::sleep(3);
    }
    unsigned char key[update::kPublicKeyBytes];
    const update::Verdict verdict =
        trustedKey(key) ? update::verify(version, readFile(package, update::kMaxSetupBytes).toStdString(),
                                         readFile(package + QStringLiteral(".sig"), 4096).toStdString(), key)
                        : update::Verdict::BadSignature;
    if (verdict != update::Verdict::Good) {
        QFile::remove(package);
        QFile::remove(package + QStringLiteral(".sig"));
        tell(QString::fromStdString(update::refusal(verdict)));
        startClient();
        return 1;
    }
    // The desktop asks for an administrator's password; 126: the prompt was dismissed, 127: not allowed.
    const int code =
        QProcess::execute(QStringLiteral("pkexec"), {QStringLiteral("apt-get"), QStringLiteral("install"),
                                                     QStringLiteral("-y"), QFileInfo(package).absoluteFilePath()});
    if (code == 0) {
        QFile::remove(package);
        QFile::remove(package + QStringLiteral(".sig"));
    } else if (code == 126 || code == 127 || code < 0) {
        tell(QStringLiteral(
                 "本账户不能安装软件，新版本 %1 没有安装，收银软件仍是原来的版本。\n\n新版本的软件包已核对无误，"
                 "保存在：\n%2\n请管理员安装它（sudo apt install %2）。")
                 .arg(v, QFileInfo(package).absoluteFilePath()));
    } else {
        tell(QStringLiteral("新版本 %1 没有装上（apt-get 返回 %2），收银软件仍是原来的版本。").arg(v).arg(code));
    }
    startClient();
    return code == 0 ? 0 : 1;
}

int fetch(const std::string& version) {
    if (!update::isVersionText(version)) {
        tell(QString::fromStdString(update::refusal(update::Verdict::NotVersionText)));
        return 1;
    }
    const update::DebianSource source = packageSource();
    if (source == update::DebianSource::Repository) {
        tell(QStringLiteral("收银软件有新版本。它由系统的软件包管理器（软件更新、apt）更新，这里不必下载。"),
             QMessageBox::Information);
        return 0;
    }
    if (source == update::DebianSource::NotInstalled) {
        tell(QStringLiteral("收银软件有新版本。这份收银软件不是以软件包安装的，请向服务商索取新版本。"),
             QMessageBox::Information);
        return 1;
    }
    const std::string site = DataConfig().vendorUrl().toStdString();
    const std::string name = update::packageFileName(version, update::Package::DebianPackage);
    const QString url = QString::fromStdString(update::fileUrl(site, name));
    unsigned char key[update::kPublicKeyBytes];
    if (url.isEmpty() || !trustedKey(key)) {
        tell(QStringLiteral("不知道服务商网站的地址，无法下载新版本。请联系服务商。"));
        return 1;
    }
    QByteArray package;
    QByteArray signature;
    Got got = download(QString::fromStdString(update::fileUrl(site, update::signatureFileName(name))), 4096, nullptr,
                       &signature);
    if (got == Got::Ok) {
        QProgressDialog progress(QStringLiteral("正在从服务商网站下载收银软件的新版本"), QStringLiteral("取消"), 0, 0);
        progress.setWindowTitle(QStringLiteral("下载新版本"));
        progress.setMinimumDuration(0);
        progress.show();
        got = download(url, static_cast<qint64>(update::kMaxSetupBytes), &progress, &package);
    }
    if (got == Got::Cancelled) {
        tell(QStringLiteral("已取消下载，什么也没有安装。"), QMessageBox::Information);
        return 1;
    }
    if (got == Got::Failed) {
        tell(QStringLiteral("新版本没有下载完整（网络中断或服务商网站没有这个版本），什么也没有安装，请稍后再试。\n") +
             url);
        return 1;
    }
    const update::Verdict verdict = got == Got::TooLarge
                                        ? update::Verdict::TooLarge
                                        : update::verify(version, package.toStdString(), signature.toStdString(), key);
    if (verdict != update::Verdict::Good) {
        tell(QString::fromStdString(update::refusal(verdict)));
        return 1;
    }
    // In the cashier's folder (the client's working directory).
    const QString path = QDir::current().filePath(QStringLiteral("update/") + QString::fromStdString(name));
    if (!QDir::current().mkpath(QStringLiteral("update")) || !writeFile(path + QStringLiteral(".sig"), signature) ||
        !writeFile(path, package) ||
        !QProcess::startDetached(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--install"), path, QString::fromStdString(version), QString::number(getppid())})) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral(".sig"));
        tell(QStringLiteral("新版本无法保存到收银软件的文件夹（磁盘已满或没有权限），什么也没有安装。"));
        return 1;
    }
    tell(QStringLiteral("新版本 %1 已下载并核对无误。\n\n退出收银软件后（托盘图标菜单中的“退出”）它会自动安装，"
                        "装好后收银软件重新启动，设置和交易记录都会保留。现在退出，就现在安装。")
             .arg(QString::fromStdString(version)),
         QMessageBox::Information);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--install")) {
        return installWhenQuiet(args[2], args[3].toStdString(), args[4].toLongLong());
    }
    if (args.size() == 2) {
        return fetch(args[1].toStdString());
    }
    tell(QStringLiteral("收银软件有新版本，请向服务商索取。"), QMessageBox::Information);
    return 1;
}

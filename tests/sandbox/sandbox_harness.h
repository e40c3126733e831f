#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

// Starts the real gateway-sandbox binary on a free port with its own database, and talks to it over HTTP.
class SandboxProcess {
public:
    using Fields = QList<QPair<QString, QString>>;

    struct Reply {
        int status = 0;  // HTTP status; 0 when no HTTP reply arrived
        int error = 0;   // httplib::Error as int; 0 (Success) when a reply arrived
        QByteArray body;
        QJsonObject json;  // the top-level object, empty when the body is not a JSON object
        QJsonObject content() const { return json.value("content").toObject(); }
    };

    // dbPath empty: a database in a fresh temporary directory.
    explicit SandboxProcess(QStringList extraArgs = {}, QString dbPath = {});
    ~SandboxProcess();

    bool start();
    // SIGTERM and wait; returns the exit code (-1 when it did not end within the time).
    int stop(int waitMs = 10000);

    int port() const { return port_; }
    QString dbPath() const { return dbPath_; }
    QByteArray log() const;  // everything the sandbox wrote to stderr so far

    // Raw POST to the gateway endpoint.
    Reply post(const QByteArray& body, int readTimeoutMs = 10000) const;
    // "version=3.0&action=...&token=...&k=v&" with percent-encoded values, as the client builds it.
    static QByteArray body(const QString& action, const Fields& fields, const QString& token = {});
    Reply call(const QString& action, const Fields& fields = {}, const QString& token = {}) const;

    // Control endpoints.
    Reply control(const std::string& method, const std::string& path, const QByteArray& json = {}) const;

    // Shortcuts used by most tests.
    QString login(const QString& uname = "demo", const QString& pword = "demo123") const;
    QJsonObject charge(const QString& code, qint64 fen, const QString& shopid = "1") const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QStringList extraArgs_;
    QString dbPath_;
    QString logPath_;
    QProcess process_;
    int port_ = 0;
};

// Base of a test class that drives a fresh sandbox in each test function; every one must stop cleanly.
class SandboxTestCase : public QObject {
    Q_OBJECT

protected slots:
    void init();
    void cleanup();

protected:
    std::unique_ptr<SandboxProcess> sb;
};

// Payment codes of the sandbox's documented plan.
namespace codes {
inline const QString alipay = "280000000000000001";
inline const QString wechat = "130000000000000001";
inline const QString insufficient = "280000000000009999";
inline const QString waitsForPassword = "130000000000008888";
inline QString withItems(int n) {
    return QString("13000000000000770%1").arg(n);
}
}  // namespace codes

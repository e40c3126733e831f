#include "gatewayshared.h"

#include <QDateTime>
#include <QJsonArray>

#include <sodium.h>

#include <chrono>

namespace sandbox::detail {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string need(const Form& f, const std::string& name) {
    auto v = f.get(name);
    if (!v) {
        throw BadRequest{"缺少参数: " + name};
    }
    return *v;
}
std::string optional(const Form& f, const std::string& name) {
    return f.get(name).value_or(std::string());
}
std::optional<int64_t> parseInteger(const std::string& s) {
    if (s.empty() || s.size() > 15) {
        return std::nullopt;
    }
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}
int charCount(const std::string& s) {
    return q(s).size();
}
bool lettersAndDigits(const std::string& s) {
    for (char c : s) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}
int64_t now() {
    return QDateTime::currentSecsSinceEpoch();
}
QTimeZone& zone() {
    static QTimeZone value(8 * 3600);
    return value;
}
QString timeText(int64_t secs) {
    return QDateTime::fromSecsSinceEpoch(secs, zone()).toString("yyyy-MM-dd hh:mm:ss");
}
QString fenText(int64_t fen) {
    return QString::number(fen);
}
QJsonObject ok(QJsonObject content, const QString& msg) {
    return QJsonObject{{"code", kOk}, {"msg", msg}, {"content", content}};
}
QJsonObject fail(int code, const std::string& msg, QJsonObject content) {
    content.insert("code", 0);
    content.insert("msg", q(msg));
    content.insert("respType", q(msg));
    return QJsonObject{{"code", code}, {"msg", q(msg)}, {"content", content}};
}
std::string digest(const std::string& secret) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, secret.data(), secret.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE, 1 << 20) != 0) {
        throw DbError("crypto_pwhash_str failed (out of memory)");
    }
    return out;
}
bool verify(const std::string& hash, const std::string& secret) {
    return !hash.empty() && crypto_pwhash_str_verify(hash.c_str(), secret.data(), secret.size()) == 0;
}
std::string accountText(Database& db, int64_t accountId, const char* column) {
    auto st = db.prepare((std::string("SELECT ") + column + " FROM accounts WHERE id = ?").c_str());
    st.bindAll(accountId);
    st.step();
    return st.text(0);
}
std::string newToken() {
    unsigned char raw[16];
    randombytes_buf(raw, sizeof raw);
    static const char* hex = "0123456789abcdef";
    std::string t;
    for (unsigned char b : raw) {
        t += hex[b >> 4];
        t += hex[b & 15];
    }
    return t;
}
QString channelName(const std::string& channel) {
    return channel == "ALIPAY" ? QStringLiteral("支付宝") : QStringLiteral("微信");
}
QString finalInfo(int64_t money, int64_t refunded) {
    if (refunded <= 0) {
        return QStringLiteral("支付成功");
    }
    return refunded >= money ? QStringLiteral("已退款,交易关闭") : QStringLiteral("部分退款");
}
CodePlan planFor(const std::string& code) {
    CodePlan p;
    if (code.empty()) {
        p.refusal = "付款码不能为空";
        return p;
    }
    if (code.size() < 16 || code.size() > 24 || !parseInteger(code.substr(0, 12)) || !parseInteger(code.substr(12))) {
        p.refusal = "付款码无效，请让顾客刷新付款码后重新扫描";
        return p;
    }
    const int prefix = (code[0] - '0') * 10 + (code[1] - '0');
    if (prefix >= 25 && prefix <= 30) {
        p.channel = "ALIPAY";
    } else if (prefix >= 10 && prefix <= 15) {
        p.channel = "WECHAT";
    } else {
        p.refusal = "不支持的付款码，请使用支付宝或微信付款码";
        return p;
    }
    const std::string tail = code.substr(code.size() - 4);
    if (tail == "9999") {
        p.channel.clear();
        p.refusal = "用户余额不足，支付失败";
    } else if (tail == "8888") {
        p.waitForPassword = true;
    } else if (tail[0] == '7' && tail[1] == '7' && tail[2] == '0' && tail[3] >= '1' && tail[3] <= '9') {
        p.items = tail[3] - '0';
    }
    return p;
}

}  // namespace sandbox::detail

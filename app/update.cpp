#include "app/update.h"

#include <sodium.h>

#include <cctype>

namespace update {

namespace {

const char kDomain[] = "cashier-setup\n";

// What the signature covers: the domain, the version, the file.
std::string signedMessage(const std::string& version, const std::string& file) {
    std::string message;
    message.reserve(sizeof kDomain + version.size() + 1 + file.size());
    message.append(kDomain).append(version).append(1, '\n').append(file);
    return message;
}

bool fromHex(const std::string& hex, unsigned char* out, std::size_t size) {
    if (hex.size() != 2 * size) {
        return false;
    }
    std::size_t written = 0;
    return sodium_hex2bin(out, size, hex.data(), hex.size(), nullptr, &written, nullptr) == 0 && written == size;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

bool isVersionText(const std::string& version) {
    if (version.empty() || version.size() > 32) {
        return false;
    }
    bool digitBefore = false;
    for (const char c : version) {
        if (c >= '0' && c <= '9') {
            digitBefore = true;
        } else if (c == '.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

std::string packageFileName(const std::string& version, Package package) {
    if (!isVersionText(version)) {
        return std::string();
    }
    return package == Package::WindowsSetup ? "cashier-setup-" + version + ".exe" : "cashier_" + version + "_amd64.deb";
}

std::string signatureFileName(const std::string& packageFile) {
    return packageFile + ".sig";
}

std::string fileUrl(const std::string& site, const std::string& fileName) {
    const auto schemeEnd = site.find("://");
    if (schemeEnd == std::string::npos) {
        return std::string();
    }
    const std::string scheme = lower(site.substr(0, schemeEnd));
    if (scheme != "http" && scheme != "https") {
        return std::string();
    }
    const auto authorityStart = schemeEnd + 3;
    auto authorityEnd = site.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string::npos) {
        authorityEnd = site.size();
    }
    const std::string authority = site.substr(authorityStart, authorityEnd - authorityStart);
    if (authority.empty() || authority[0] == ':') {
        return std::string();
    }
    for (const char c : authority) {
        // No user name or password in the address, nothing a request line could be split at.
        if (c == '@' || c == '\\' || static_cast<unsigned char>(c) <= ' ') {
            return std::string();
        }
    }
    std::string path;
    if (authorityEnd < site.size() && site[authorityEnd] == '/') {
        const auto pathEnd = site.find_first_of("?#", authorityEnd);
        path = site.substr(authorityEnd, pathEnd == std::string::npos ? std::string::npos : pathEnd - authorityEnd);
    }
    // The page's folder: what follows its last slash is the page itself.
    path = path.empty() ? std::string("/") : path.substr(0, path.rfind('/') + 1);
    for (const char c : path) {
        if (static_cast<unsigned char>(c) <= ' ') {
            return std::string();
        }
    }
    return scheme + "://" + authority + path + fileName;
}

bool publicKeyFromHex(const std::string& hex, unsigned char key[kPublicKeyBytes]) {
    return fromHex(hex, key, kPublicKeyBytes);
}

bool secretKeyFromHex(const std::string& hex, unsigned char key[kSecretKeyBytes]) {
    return fromHex(hex, key, kSecretKeyBytes);
}

std::string toHex(const unsigned char* bytes, std::size_t size) {
    std::string hex(2 * size + 1, '\0');
    sodium_bin2hex(&hex[0], hex.size(), bytes, size);
    hex.pop_back();
    return hex;
}

Verdict verify(const std::string& version, const std::string& file, const std::string& signature,
               const unsigned char publicKey[kPublicKeyBytes]) {
    if (!isVersionText(version)) {
        return Verdict::NotVersionText;
    }
    if (file.empty()) {
        return Verdict::Empty;
    }
    if (file.size() > kMaxSetupBytes) {
        return Verdict::TooLarge;
    }
    if (signature.size() != kSignatureBytes) {
        return Verdict::NoSignature;
    }
    if (sodium_init() < 0) {
        return Verdict::BadSignature;  // nothing can be checked: nothing is trusted
    }
    const std::string message = signedMessage(version, file);
    const bool good = crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                                  reinterpret_cast<const unsigned char*>(message.data()),
                                                  message.size(), publicKey) == 0;
    return good ? Verdict::Good : Verdict::BadSignature;
}

std::string sign(const std::string& version, const std::string& file, const unsigned char secretKey[kSecretKeyBytes]) {
    if (!isVersionText(version) || file.empty() || file.size() > kMaxSetupBytes || sodium_init() < 0) {
        return std::string();
    }
    const std::string message = signedMessage(version, file);
    std::string signature(kSignatureBytes, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(&signature[0]), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(), secretKey);
    return signature;
}

DebianSource debianSource(const std::string& aptCachePolicy) {
    std::string installed;
    bool inInstalled = false;
    bool repository = false;
    bool listed = false;
    std::size_t start = 0;
    while (start <= aptCachePolicy.size()) {
        auto end = aptCachePolicy.find('\n', start);
        if (end == std::string::npos) {
            end = aptCachePolicy.size();
        }
        const std::string line = aptCachePolicy.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        const std::string text = line.substr(first);
        if (text.rfind("Installed: ", 0) == 0) {
            installed = text.substr(11);
            continue;
        }
        // The version table: " *** 3.0.1 100" marks the installed version, a line of its own per version, each
        // followed by its sources ("100 /var/lib/dpkg/status", "500 https://... bookworm/main amd64 Packages").
        if (text.rfind("*** ", 0) == 0) {
            inInstalled = !installed.empty() && text.compare(4, installed.size() + 1, installed + " ") == 0;
            continue;
        }
        if (first <= 5 || !std::isdigit(static_cast<unsigned char>(text[0]))) {
            inInstalled = inInstalled && first > 5;
            continue;
        }
        if (inInstalled) {
            listed = true;
            const auto source = text.find(' ');
            repository = repository || source == std::string::npos || text.substr(source + 1) != "/var/lib/dpkg/status";
        }
    }
    if (installed.empty() || installed == "(none)" || !listed) {
        return DebianSource::NotInstalled;
    }
    return repository ? DebianSource::Repository : DebianSource::LocalFile;
}

std::string refusal(Verdict verdict) {
    switch (verdict) {
        case Verdict::Good:
            return std::string();
        case Verdict::Empty:
            return "新版本的安装程序没有下载到，已删除，什么也没有安装。";
        case Verdict::TooLarge:
            return "下载的文件过大，不是收银软件的安装程序，已删除，什么也没有安装。";
        case Verdict::NoSignature:
            return "新版本的安装程序缺少签名，无法确认来自服务商，已删除，什么也没有安装。";
        case Verdict::BadSignature:
            return "下载的安装程序未通过签名核对（可能被改动、不完整或不是所需的版本），已删除，什么也没有安装。";
        case Verdict::NotVersionText:
            return "网关给出的版本号无效，没有下载新版本。";
    }
    return std::string();
}

}  // namespace update

#include "form.h"

#include <array>
#include <cstdint>

namespace sandbox {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

template <typename F>
void forEachSegment(const std::string& body, F f) {
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        if (end > start) {
            f(body.substr(start, end - start));
        }
        start = end + 1;
    }
}

}  // namespace

std::string percentDecode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool isValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::array<uint32_t, 4> minimum{0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

std::optional<Form> Form::parse(const std::string& body, std::string* error) {
    Form form;
    bool bad = false;
    forEachSegment(body, [&](const std::string& seg) {
        const size_t eq = seg.find('=');
        std::string name = percentDecode(seg.substr(0, eq));
        std::string value = eq == std::string::npos ? std::string() : percentDecode(seg.substr(eq + 1));
        if (!isValidUtf8(name) || !isValidUtf8(value) || name.find('\0') != std::string::npos ||
            value.find('\0') != std::string::npos) {
            bad = true;
        }
        form.pairs_.emplace_back(std::move(name), std::move(value));
    });
    if (bad) {
        if (error) {
            *error = "请求体不是有效的UTF-8表单";
        }
        return std::nullopt;
    }
    return form;
}

std::optional<std::string> Form::get(const std::string& name) const {
    for (const auto& [k, v] : pairs_) {
        if (k == name) {
            return v;
        }
    }
    return std::nullopt;
}

bool isSecretField(const std::string& name) {
    static const std::array<const char*, 7> secrets{"pword",  "pwd",       "re_password", "oldpwd",
                                                    "answer", "auth_code", "token"};
    for (const char* s : secrets) {
        if (name == s) {
            return true;
        }
    }
    return false;
}

std::string maskSecrets(const std::string& body) {
    std::string out;
    forEachSegment(body, [&](const std::string& seg) {
        if (!out.empty()) {
            out += '&';
        }
        const size_t eq = seg.find('=');
        if (eq != std::string::npos && isSecretField(percentDecode(seg.substr(0, eq)))) {
            out += seg.substr(0, eq + 1) + "***";
        } else {
            out += seg;
        }
    });
    return out;
}

}  // namespace sandbox

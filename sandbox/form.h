#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sandbox {

// A form-encoded request body. The client percent-encodes its values, but older builds sent them raw, so
// decoding is lenient: "+" is a blank, "%XY" is a byte, a "%" not followed by two hex digits stays as it
// is, empty segments (a trailing "&") are skipped and a segment without "=" is a name with an empty value.
class Form {
public:
    // Fails only on what cannot be text: invalid UTF-8 after decoding, or NUL bytes.
    static std::optional<Form> parse(const std::string& body, std::string* error = nullptr);

    // The first value given for the name; later duplicates are kept but not consulted.
    std::optional<std::string> get(const std::string& name) const;
    bool has(const std::string& name) const { return get(name).has_value(); }
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

std::string percentDecode(const std::string& s);
bool isValidUtf8(const std::string& s);
bool isSecretField(const std::string& name);

// The body as received with the values of secret fields (passwords, answers, payment codes, tokens)
// replaced by "***", for the request log line.
std::string maskSecrets(const std::string& body);

}  // namespace sandbox

#pragma once

#include <QJsonArray>
#include <QJsonObject>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sandbox {

// One injected fault: which action it hits and what goes wrong.
struct FaultRule {
    enum class Mode {
        Delay,     // wait delay_ms, then answer normally
        Hang,      // never answer; the connection is dropped when the faults are cleared or the server stops
        Status,    // HTTP status N with the given body; the action is not carried out
        NotJson,   // status 200 with a body that is not JSON; the action is not carried out
        Truncate,  // status 200, a complete HTTP message whose JSON stops half-way; the action is carried out
        Cut,       // the real reply's Content-Length, half the bytes, then the connection closes
        Reset,     // the connection is reset (RST) without a byte of reply
    };
    std::string action = "*";  // an action name, or "*" for every action
    Mode mode = Mode::Delay;
    int delayMs = 0;  // waited before the mode takes effect (for Delay the whole effect)
    int status = 500;
    std::string body;
    int times = -1;      // how many requests it hits; -1 for all
    bool apply = false;  // Hang and Reset: carry the action out first (the reply is lost, the state changes)

    QJsonObject toJson() const;
    static std::optional<FaultRule> fromJson(const QJsonObject& o, std::string* error);
    // Command-line form: ACTION=MODE[:ARG], e.g. "Pay.Ace.scanpay=delay:3000", "*=status:503", "Share.Ace.login=hang".
    static std::optional<FaultRule> fromText(const std::string& text, std::string* error);
};

// The active fault rules plus the waiting they cause. Every wait ends early when the server stops.
class Faults {
public:
    void add(const FaultRule& rule);
    // Removes all rules and releases the requests that hang.
    void clear();
    // The first rule matching the action, counting one use of it.
    std::optional<FaultRule> take(const std::string& action);
    QJsonArray list() const;

    // Waits ms milliseconds; false when the server began to stop meanwhile.
    bool sleep(int ms);
    // Waits until the rules are cleared or the server stops.
    void hang();
    void shutdown();

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<FaultRule> rules_;
    uint64_t generation_ = 0;  // bumped by clear()
    bool stopping_ = false;
};

}  // namespace sandbox

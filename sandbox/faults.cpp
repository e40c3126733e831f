#include "faults.h"

#include <QJsonValue>
#include <QString>

#include <chrono>

namespace sandbox {
namespace {

struct ModeName {
    FaultRule::Mode mode;
    const char* name;
};
constexpr ModeName kModes[] = {
    {FaultRule::Mode::Delay, "delay"},     {FaultRule::Mode::Hang, "hang"},         {FaultRule::Mode::Status, "status"},
    {FaultRule::Mode::NotJson, "notjson"}, {FaultRule::Mode::Truncate, "truncate"}, {FaultRule::Mode::Cut, "cut"},
    {FaultRule::Mode::Reset, "reset"},
};

std::optional<FaultRule::Mode> modeFromName(const std::string& name) {
    for (const auto& m : kModes) {
        if (name == m.name) {
            return m.mode;
        }
    }
    return std::nullopt;
}

const char* nameOf(FaultRule::Mode mode) {
    for (const auto& m : kModes) {
        if (m.mode == mode) {
            return m.name;
        }
    }
    return "?";
}

const char* kModeList = "delay, hang, status, notjson, truncate, cut, reset";

}  // namespace

QJsonObject FaultRule::toJson() const {
    return QJsonObject{
        {"action", QString::fromStdString(action)}, {"mode", nameOf(mode)}, {"delay_ms", delayMs}, {"status", status},
        {"body", QString::fromStdString(body)},     {"times", times},       {"apply", apply}};
}

std::optional<FaultRule> FaultRule::fromJson(const QJsonObject& o, std::string* error) {
    FaultRule r;
    r.action = o.value("action").toString("*").toStdString();
    const std::string modeName = o.value("mode").toString().toStdString();
    auto mode = modeFromName(modeName);
    if (!mode) {
        *error = "unknown fault mode '" + modeName + "' (one of: " + kModeList + ")";
        return std::nullopt;
    }
    r.mode = *mode;
    // "ms" is accepted as a short form of "delay_ms".
    r.delayMs = o.value("delay_ms").toInt(o.value("ms").toInt(0));
    r.status = o.value("status").toInt(500);
    r.body = o.value("body").toString().toStdString();
    r.times = o.value("times").toInt(-1);
    r.apply = o.value("apply").toBool(false);
    if (r.action.empty() || r.delayMs < 0 || r.status < 100 || r.status > 599 || r.times == 0) {
        *error = "bad fault rule: action must be non-empty, delay_ms >= 0, status 100..599, times -1 or > 0";
        return std::nullopt;
    }
    if (r.mode == Mode::Delay && r.delayMs == 0) {
        *error = "a delay needs delay_ms (or ms) > 0";
        return std::nullopt;
    }
    return r;
}

std::optional<FaultRule> FaultRule::fromText(const std::string& text, std::string* error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        *error = "fault '" + text + "' is not ACTION=MODE[:ARG]";
        return std::nullopt;
    }
    QJsonObject o{{"action", QString::fromStdString(text.substr(0, eq))}};
    const std::string rest = text.substr(eq + 1);
    const size_t colon = rest.find(':');
    const std::string mode = rest.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    o.insert("mode", QString::fromStdString(mode));
    if (!arg.empty()) {
        if (mode == "delay") {
            o.insert("delay_ms", QString::fromStdString(arg).toInt());
        } else if (mode == "status") {
            o.insert("status", QString::fromStdString(arg).toInt());
        } else if (mode == "notjson") {
            o.insert("body", QString::fromStdString(arg));
        }
    }
    return fromJson(o, error);
}

void Faults::add(const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(rule);
}

void Faults::clear() {
    {
        std::lock_guard lock(mutex_);
        rules_.clear();
        ++generation_;
    }
    wake_.notify_all();
}

std::optional<FaultRule> Faults::take(const std::string& action) {
    std::lock_guard lock(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->action == "*" || it->action == action) {
            FaultRule hit = *it;
            if (it->times > 0 && --it->times == 0) {
                rules_.erase(it);
            }
            return hit;
        }
    }
    return std::nullopt;
}

QJsonArray Faults::list() const {
    std::lock_guard lock(mutex_);
    QJsonArray a;
    for (const auto& r : rules_) {
        a.append(r.toJson());
    }
    return a;
}

bool Faults::sleep(int ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void Faults::hang() {
    std::unique_lock lock(mutex_);
    const uint64_t start = generation_;
    wake_.wait(lock, [&] { return stopping_ || generation_ != start; });
}

void Faults::shutdown() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
}

}  // namespace sandbox

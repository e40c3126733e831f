#pragma once

#include <QtGlobal>
#include <functional>

// The customer display as the collect windows see it. The shell owns the display port and installs this on the pages
// it creates; without it nothing is shown.
struct CustomerDisplay {
    // A keyed amount, after the cents rule, is about to be collected.
    std::function<void(qint64 fen)> showTotal;
    // The sale shown is paid.
    std::function<void()> clear;

    explicit operator bool() const { return bool(showTotal); }
};

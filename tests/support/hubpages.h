#pragma once

// The settings hub as a cashier sees it: its page buttons by number, and which one is drawn as the chosen one.
// Header-only: a test that includes it already links the settings library.

#include "settings/settingmain.h"

#include <QPushButton>
#include <QString>
#include <QTimer>
#include <functional>

namespace testsupport {

// The hub's button of page `number` (btn1 … btn7 from the top); null for a number that names no button.
inline QPushButton* hubButton(const SettingMain& hub, int number) {
    return hub.findChild<QPushButton*>(QStringLiteral("btn%1").arg(number));
}

// Whether a button is drawn as the chosen one (the shared style sheet's look of an active page button).
inline bool drawnAsChosen(const QPushButton* button) {
    return button->property("active").toBool();
}

// The number of the page the hub shows, as its highlighted button tells it; 0 when none is highlighted.
inline int hubPageShown(const SettingMain& hub) {
    for (int number = 1; number <= 7; ++number) {
        if (const QPushButton* button = hubButton(hub, number); button && drawnAsChosen(button)) {
            return number;
        }
    }
    return 0;
}

// Runs `check` once the modal run of a dialog (the hub's) has started; `check` ends that run.
inline void whileModal(const std::function<void()>& check) {
    QTimer::singleShot(0, [check] { check(); });
}

}  // namespace testsupport

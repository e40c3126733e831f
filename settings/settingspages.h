#pragma once

#include "widgets/settingspage.h"

class QWidget;

namespace settingspages {

// Builds the page as a child of `parent`.
QWidget* create(SettingsPage page, QWidget* parent);

}  // namespace settingspages

#pragma once

#include "widgets/settingspage.h"

class QWidget;
class Till;

namespace settingspages {

// Builds the page as a child of `parent`.
QWidget* create(Till& till, SettingsPage page, QWidget* parent);

}  // namespace settingspages

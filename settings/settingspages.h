#pragma once

class QWidget;

// The hub's pages by number: 1 serial ports, 2 other settings, 3 login password, 4 refund password change,
// 5 refund password reset, 6 collection, 7 refunds. Each page plugs in here when its window is written.
namespace settingspages {

constexpr int kFirstPage = 1;
constexpr int kLastPage = 7;

// Builds page `type` as a child of `parent`; null for a number outside 1..7 or a page not yet available.
QWidget* create(int type, QWidget* parent);
// Whether `create` would build a page for `type`.
bool available(int type);

}  // namespace settingspages

#pragma once

#include <QString>

// A text another system sent (the gateway's words, an order number) as it may be shown or printed: longer texts are
// cut with an ellipsis (the log keeps the size). Show it as plain text: such a string is never markup.
namespace display {

constexpr int kShownChars = 300;
QString shown(const QString& text);

}  // namespace display

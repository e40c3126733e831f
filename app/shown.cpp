#include "shown.h"

namespace display {

QString shown(const QString& text) {
    if (text.size() <= kShownChars) {
        return text;
    }
    int cut = kShownChars;
    if (text.at(cut - 1).isHighSurrogate()) {
        --cut;  // never half a character
    }
    return text.left(cut) + QChar(0x2026);
}

}  // namespace display

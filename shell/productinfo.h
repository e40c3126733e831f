#pragma once

#include "app/version.h"

#include <QString>

// The product's name and version as the tray, the floating icon and the about box show them.
namespace product {

inline QString name() {
    return QStringLiteral("柚屿智付");
}
inline QString version() {
    return clientVersion();
}
// Tool tip of the login stage's tray icon.
inline QString loginToolTip() {
    return name() + QStringLiteral("PC端") + version();
}
// Tool tip of the working stage's tray icon and of the floating icon.
inline QString workToolTip() {
    return name() + QStringLiteral("PC端V") + version();
}
// The neutral maker line of the login footer and the about box.
inline QString makerLine() {
    return name() + QStringLiteral(" PC端 ") + version();
}

}  // namespace product

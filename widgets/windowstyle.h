#pragma once

#include <QString>

class QWidget;

namespace windowstyle {

// The style sheet of a button drawn by two images of ":/images/": `normal` and, while pressed, `pressed` (file names,
// e.g. "close_nor.png"). `extra` is added to the normal state (for instance "color:white;").
QString imageButton(const QString& normal, const QString& pressed, const QString& extra = QString());
// Places `window` in the middle of the primary screen.
void centreOnScreen(QWidget* window);

}  // namespace windowstyle

#pragma once

#include <QString>
#include <initializer_list>

class QIcon;
class QLabel;
class QWidget;

namespace windowstyle {

// Sets the client's shared style sheet (":/qss/cashier.qss": the image buttons, the windows' backgrounds) on the
// application. Called once at start, and by tests that look at how the windows render.
void applyApplicationStyle();

// The style sheet of a button drawn by two images of ":/images/": `normal` and, while pressed, `pressed` (file names,
// e.g. "close_nor.png"), and the shared grey look while disabled. `extra` is added to the normal state (for instance
// "color:white;"). For the buttons whose images change with their state; the fixed ones are in the shared style
// sheet.
QString imageButton(const QString& normal, const QString& pressed, const QString& extra = QString());
// The client's icon for the tray, in the sizes a tray draws. Only named here: each size is read the first time it is
// drawn (an .ico is read whole, all its sizes up to 256 px, as soon as it is named: a cost at every start, even where
// there is no tray).
QIcon trayIcon();
// Places `window` in the middle of the primary screen.
void centreOnScreen(QWidget* window);

// Labels that show what the gateway sent: their text is never taken for markup (a tag, an image or a link in it
// shows as the characters it is made of).
void plainLabels(std::initializer_list<QLabel*> labels);
// A tool tip that shows `text` literally, whatever it holds (tool tips otherwise guess at markup).
QString plainToolTip(const QString& text);

}  // namespace windowstyle

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

// Marks `widget` for the shared style sheet's rules of a state (`[name="true"]`) and draws it again in that look:
// looks that change with a window's state are rules of the sheet, not sheets set in code.
void setLookState(QWidget* widget, const char* name, bool on);
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

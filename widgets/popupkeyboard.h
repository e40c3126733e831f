#pragma once

class QWidget;

// Keeps the keyboard with a popup window (the payment-code window) whatever the window manager does with the window
// it was opened over.
//
// The popup is usually opened while its main window is still being mapped or activated (Alt+Z, the tray, an amount
// from the POS): the window manager then gives the X input focus to the main window after the popup has come up.
// The popup still holds the keyboard grab, but the platform delivers each key to the window that has the input
// focus; a window-modal popup blocks that window, so every key was dropped there and the scan was lost. A popup
// already takes all input of the application while it is open, so it is made non-modal, and the keys the main
// window receives go on to the popup. Besides, each time the popup is shown, and again whenever another window of
// the application becomes active or the main window is exposed, the popup is raised over it and takes the keyboard
// grab again (retried for a while when another program holds the keyboard at that moment).
namespace popupkeyboard {

// Sets this up for `popup` (a Qt::Popup window) before it is first shown; it lasts as long as the popup.
void keep(QWidget* popup);
// Raises `popup` and takes the keyboard for it now, if it is visible (for a popup that is brought up again).
void take(QWidget* popup);

}  // namespace popupkeyboard

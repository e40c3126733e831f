#pragma once

#include "widgets/settingspage.h"

#include <QString>

class Till;

// Start-up steps that need the windows of the shell; called by main() in this order.
// Shows the login window (no parent, kept for the whole run).
void showLoginWindow(Till& till);
// Tells the cashier something found at start (the payment journal's state) in a box over the login window, once the
// event loop runs and the window is up.
void tellCashierAtStart(const QString& text);
// Creates the hidden settings hub, kept for the whole run.
void createSettingsHub(Till& till);
// What every window that opens a settings page is handed: opens the process's hub on the page (nothing in a process
// without one, such as a test of a single window).
SettingsOpener settingsOpener();

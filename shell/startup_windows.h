#pragma once

#include <QString>

// Start-up steps that need the windows of the shell; called by main() in this order.
// Shows the login window (no parent, kept for the whole run).
void showLoginWindow();
// Tells the cashier something found at start (the payment journal's state) in a box over the login window, once the
// event loop runs and the window is up.
void tellCashierAtStart(const QString& text);
// Creates the hidden settings hub, kept for the whole run.
void createSettingsHub();

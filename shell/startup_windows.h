#pragma once

// Start-up steps that need the windows of the shell; called by main() in this order.
// Shows the login window (no parent, kept for the whole run).
void showLoginWindow();
// Creates the hidden settings hub, kept for the whole run.
void createSettingsHub();

#pragma once

#include <QLoggingCategory>

// One category per area, so each line of the operations log says where it comes from (and QT_LOGGING_RULES can
// quieten one area on the debug output).
Q_DECLARE_LOGGING_CATEGORY(lcApp)       // start, end, folders
Q_DECLARE_LOGGING_CATEGORY(lcSession)   // sign-in, store, shift handover
Q_DECLARE_LOGGING_CATEGORY(lcGateway)   // requests and replies (redacted)
Q_DECLARE_LOGGING_CATEGORY(lcJournal)   // charge and refund attempts
Q_DECLARE_LOGGING_CATEGORY(lcUi)        // message boxes the cashier saw
Q_DECLARE_LOGGING_CATEGORY(lcSerial)    // serial ports
Q_DECLARE_LOGGING_CATEGORY(lcPrint)     // print jobs
Q_DECLARE_LOGGING_CATEGORY(lcSettings)  // settings saved

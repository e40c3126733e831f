#include "logcategories.h"

Q_LOGGING_CATEGORY(lcApp, "cashier.app")
Q_LOGGING_CATEGORY(lcSession, "cashier.session")
Q_LOGGING_CATEGORY(lcGateway, "cashier.gateway")
Q_LOGGING_CATEGORY(lcJournal, "cashier.journal")
Q_LOGGING_CATEGORY(lcUi, "cashier.ui")
Q_LOGGING_CATEGORY(lcSerial, "cashier.serial")
Q_LOGGING_CATEGORY(lcPrint, "cashier.print")
Q_LOGGING_CATEGORY(lcSettings, "cashier.settings")

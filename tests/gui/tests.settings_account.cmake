cashier_add_test(tst_settings_account SOURCES gui/tst_settings_account.cpp LIBS cashier_settings cashier_resources
                 Qt5::Network KIND gui)

cashier_add_test(tst_refund_dialog SOURCES gui/tst_refund_dialog.cpp LIBS cashier_refunds cashier_settings cashier_resources
                 KIND gui)
cashier_add_test(tst_refund_settings SOURCES gui/tst_refund_settings.cpp LIBS cashier_settings cashier_resources KIND gui)
cashier_add_test(tst_shell_refund SOURCES gui/tst_shell_refund.cpp LIBS cashier_shell cashier_resources KIND gui)

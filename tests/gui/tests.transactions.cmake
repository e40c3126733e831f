cashier_add_test(tst_transactions_summary SOURCES gui/tst_transactions_summary.cpp LIBS cashier_transactions
                 cashier_resources KIND gui)

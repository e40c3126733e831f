cashier_add_test(tst_transactions_query SOURCES gui/tst_transactions_query.cpp
                 LIBS cashier_transactions cashier_resources KIND gui)

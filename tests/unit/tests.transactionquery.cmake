cashier_add_test(tst_transactionquery SOURCES unit/tst_transactionquery.cpp LIBS cashier_transactions_logic
                 KIND unit)

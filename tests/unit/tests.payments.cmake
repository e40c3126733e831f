cashier_add_test(tst_journal SOURCES unit/tst_journal.cpp LIBS cashier_payments SQLite::SQLite3 KIND unit)
cashier_add_test(tst_reconcile SOURCES unit/tst_reconcile.cpp LIBS cashier_payments KIND unit)
cashier_add_test(tst_openattempt SOURCES unit/tst_openattempt.cpp LIBS cashier_payments KIND unit)

cashier_add_test(tst_collectlogic SOURCES unit/tst_collectlogic.cpp LIBS cashier_collect_logic KIND unit)
cashier_add_test(tst_receipthtml SOURCES unit/tst_receipthtml.cpp LIBS cashier_receipts KIND unit)
cashier_add_test(tst_chargecheck SOURCES unit/tst_chargecheck.cpp LIBS cashier_payments KIND unit)

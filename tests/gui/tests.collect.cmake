cashier_add_test(tst_collect_amount SOURCES gui/tst_collect_amount.cpp LIBS cashier_collect cashier_resources KIND gui)
cashier_add_test(tst_collect_result SOURCES gui/tst_collect_result.cpp LIBS cashier_collect cashier_resources KIND gui)
cashier_add_test(tst_collect_chargecheck SOURCES gui/tst_collect_chargecheck.cpp LIBS cashier_collect cashier_resources SQLite::SQLite3
                 Qt5::Network KIND gui)
cashier_add_test(tst_oplog_sale SOURCES gui/tst_oplog_sale.cpp LIBS cashier_collect cashier_oplog cashier_resources KIND gui)

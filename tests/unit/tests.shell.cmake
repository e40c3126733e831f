cashier_add_test(tst_serialamount SOURCES unit/tst_serialamount.cpp LIBS cashier_serial_logic KIND unit)

cashier_add_test(tst_serial_e2e SOURCES e2e/tst_serial_e2e.cpp LIBS cashier_e2esupport cashier_app KIND e2e
                 TIMEOUT 240)
# Keyboard focus, the pointer and the Alt+Z grab belong to the whole display: one driver at a time.
set_tests_properties(tst_serial_e2e PROPERTIES RESOURCE_LOCK x11_display)
add_dependencies(tst_serial_e2e cashier gateway-sandbox)

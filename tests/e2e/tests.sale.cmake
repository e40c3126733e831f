cashier_add_test(tst_sale_e2e SOURCES e2e/tst_sale_e2e.cpp LIBS cashier_e2esupport Qt5::Network KIND e2e TIMEOUT 240)
# Keyboard focus and the pointer belong to the whole display: one driver at a time.
set_tests_properties(tst_sale_e2e PROPERTIES RESOURCE_LOCK x11_display)
add_dependencies(tst_sale_e2e cashier gateway-sandbox)

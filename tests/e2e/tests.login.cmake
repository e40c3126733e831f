cashier_add_test(tst_login_e2e SOURCES e2e/tst_login_e2e.cpp LIBS cashier_e2esupport KIND e2e TIMEOUT 180)
# Keyboard focus, the pointer and the Alt+Z grab belong to the whole display: one driver at a time.
set_tests_properties(tst_login_e2e PROPERTIES RESOURCE_LOCK x11_display)
add_dependencies(tst_login_e2e cashier gateway-sandbox)

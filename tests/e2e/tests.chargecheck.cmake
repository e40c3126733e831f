# The client's waits are shortened through CASHIER_TEST_CHARGE_TIMING, which only a CASHIER_TEST_SEAMS build reads.
if(NOT CASHIER_TEST_SEAMS)
    message(STATUS "tst_chargecheck_e2e left out: it needs -DCASHIER_TEST_SEAMS=ON")
else()
    cashier_add_test(tst_chargecheck_e2e SOURCES e2e/tst_chargecheck_e2e.cpp LIBS cashier_e2esupport KIND e2e
                     TIMEOUT 240)
    # Keyboard focus and the pointer belong to the whole display: one driver at a time.
    set_tests_properties(tst_chargecheck_e2e PROPERTIES RESOURCE_LOCK x11_display)
    add_dependencies(tst_chargecheck_e2e cashier gateway-sandbox)
endif()

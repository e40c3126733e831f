# The installed Windows client under Wine, driven from here: scripts/windows/test.sh runs it with the installer it
# built (CASHIER_WINDOWS_SETUP) in a new WINEPREFIX; other runs skip it.
cashier_add_test(tst_windows_e2e SOURCES e2e/tst_windows_e2e.cpp LIBS cashier_e2esupport cashier_app KIND e2e
                 TIMEOUT 600)
target_compile_definitions(tst_windows_e2e PRIVATE CASHIER_VERSION="${PROJECT_VERSION}")
set_tests_properties(tst_windows_e2e PROPERTIES RESOURCE_LOCK x11_display LABELS "e2e;windows")
add_dependencies(tst_windows_e2e gateway-sandbox)

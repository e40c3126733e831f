set(shell_test_libs cashier_shell cashier_resources)
cashier_add_test(tst_shell_login SOURCES gui/tst_shell_login.cpp LIBS ${shell_test_libs} KIND gui)
cashier_add_test(tst_shell_selectshop SOURCES gui/tst_shell_selectshop.cpp LIBS ${shell_test_libs} KIND gui)
cashier_add_test(tst_shell_mainwindow SOURCES gui/tst_shell_mainwindow.cpp LIBS ${shell_test_libs} KIND gui)

set(shell_test_libs cashier_shell cashier_resources)
set(shell_tests tst_shell_login tst_shell_selectshop tst_shell_mainwindow tst_shell_menus tst_shell_boxes
                tst_shell_serial)
foreach(t ${shell_tests})
    cashier_add_test(${t} SOURCES gui/${t}.cpp LIBS ${shell_test_libs} KIND gui)
endforeach()

# ./run.sh in a copy of the repository, running this tree's programs: the POS stand-in comes with the client.
cashier_add_test(tst_run_script SOURCES gui/tst_run_script.cpp LIBS cashier_e2esupport cashier_shell
                 cashier_resources KIND gui TIMEOUT 240)
add_dependencies(tst_run_script cashier gateway-sandbox)

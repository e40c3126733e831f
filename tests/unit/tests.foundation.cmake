cashier_add_test(tst_settings SOURCES unit/tst_settings.cpp LIBS cashier_app KIND unit)
cashier_add_test(tst_gateway SOURCES unit/tst_gateway.cpp LIBS cashier_gateway KIND unit)
cashier_add_test(tst_replies SOURCES unit/tst_replies.cpp LIBS cashier_gateway KIND unit)
cashier_add_test(tst_platform SOURCES unit/tst_platform.cpp LIBS cashier_app cashier_platform KIND unit)

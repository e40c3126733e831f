set(shell_test_libs cashier_shell cashier_resources)
set(shell_tests tst_shell_login tst_shell_selectshop tst_shell_mainwindow tst_shell_menus)
foreach(t ${shell_tests})
    cashier_add_test(${t} SOURCES gui/${t}.cpp LIBS ${shell_test_libs} KIND gui)
endforeach()

# Sanitizer build: GCC 12's LeakSanitizer crashes ("Tracer caught signal 11") while scanning the dynamic TLS of
# libjpeg, which Qt's jpeg plugin loads when the settings buttons (.jpg images) are painted. Loading libjpeg with
# the program puts its TLS in the static block, which the leak check reads without trouble.
if(CASHIER_SANITIZE)
    find_library(CASHIER_LIBJPEG NAMES libjpeg.so.62 jpeg)
    if(CASHIER_LIBJPEG)
        foreach(t ${shell_tests})
            target_link_libraries(${t} PRIVATE "-Wl,--push-state,--no-as-needed" ${CASHIER_LIBJPEG} "-Wl,--pop-state")
        endforeach()
    endif()
endif()

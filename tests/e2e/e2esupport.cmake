# The driver the end-to-end tests share: the sandbox and the client as real processes, xdotool on the display.
add_library(cashier_e2esupport STATIC support/e2edriver.cpp support/e2edriver.h)
target_include_directories(cashier_e2esupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(cashier_e2esupport PUBLIC Qt5::Core Qt5::Network Qt5::Test PRIVATE xcb)
target_compile_definitions(cashier_e2esupport PRIVATE CASHIER_BIN="$<TARGET_FILE:cashier>"
                                                      SANDBOX_BIN="$<TARGET_FILE:gateway-sandbox>")

# The include-layer check of scripts/check-layers.sh, on this tree and on planted includes.
add_test(NAME tst_check_layers COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/unit/tst_check_layers.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(tst_check_layers PROPERTIES LABELS unit TIMEOUT 60)

qv_add_test(NAME test_colour LIBS qvcore SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/colour/delta_e_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colour/tristimulus_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colour/evaluate_hue_control_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colour/colour_rows_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colour/colour_cli_test.cpp)
# The command-line tests run the real program.
add_dependencies(test_colour qvl70s-cli)

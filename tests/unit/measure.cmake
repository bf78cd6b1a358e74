# measure tests: the exchange, the workflows and the result file against the simulated
# instrument on a pseudo-terminal.
qv_add_test(NAME test_measure LIBS qvplatform qvsim SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/measure/average_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/calibration_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/cli_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/data_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/exchange_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/measure_rig.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/repeatability_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure/result_file_test.cpp)
# The command-line tests run the real program.
add_dependencies(test_measure qvl70s-cli)

# Protocol tests: string division, command builders and their bounds, reply judgements,
# identification forms and the CPS edit.
qv_add_test(NAME test_protocol LIBS qvcore SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/protocol/string_division_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protocol/commands_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protocol/identify_test.cpp)

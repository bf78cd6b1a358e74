qv_add_test(NAME test_stats LIBS qvcore SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/stats/data_analyzer_test.cpp)

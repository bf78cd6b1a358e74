qv_add_test(NAME test_app LIBS qvplatform SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/app/shared_state_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/settings_test.cpp)

qv_add_test(NAME test_app LIBS qvplatform SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/app/shared_state_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/settings_test.cpp)
qv_add_test(NAME test_shell LIBS qvplatform SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/app/comm_settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/dib_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/resources_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/startup_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app/threshold_test.cpp)

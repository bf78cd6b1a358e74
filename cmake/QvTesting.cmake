# qv_add_test(NAME name SOURCES ... LIBS ... [GUI])
# One test program per area; each links the libraries it tests, never their sources.
# GUI programs get a QApplication on Qt's offscreen platform.
function(qv_add_test)
    cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_GUI)
        set(main qvtestmain_gui)
    else()
        set(main qvtestmain)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qvtestsupport ${main} GTest::gtest GTest::gmock)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# qv_add_test(NAME name SOURCES ... LIBS ... [GUI] [SERIAL])
# One test program per area; each links the libraries it tests, never their sources.
# GUI programs get a QApplication on Qt's offscreen platform. SERIAL programs wait on real time:
# they carry the label real-time and run alone, so a loaded machine cannot make them flaky.
function(qv_add_test)
    cmake_parse_arguments(T "GUI;SERIAL" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_GUI)
        set(main qvtestmain_gui)
    else()
        set(main qvtestmain)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qvtestsupport ${main} GTest::gtest GTest::gmock)
    if(T_SERIAL)
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            PROPERTIES LABELS real-time RUN_SERIAL TRUE)
    else()
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# qv_add_test(NAME name SOURCES ... LIBS ... [GUI] [SERIAL] [REAL_TIME gtest-filter])
# One test program per area; each links the libraries it tests, never their sources.
# GUI programs get a QApplication on Qt's offscreen platform. SERIAL programs wait on real time:
# they carry the label real-time and run alone, so a loaded machine cannot make them flaky.
# REAL_TIME names such tests inside an otherwise virtual-time program (a gtest filter).
function(qv_add_test)
    cmake_parse_arguments(T "GUI;SERIAL" "NAME;REAL_TIME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_GUI)
        set(main qvtestmain_gui)
    else()
        set(main qvtestmain)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qvtestsupport ${main} GTest::gtest GTest::gmock)
    set(serial PROPERTIES LABELS real-time RUN_SERIAL TRUE)
    if(T_SERIAL)
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${serial})
    elseif(T_REAL_TIME)
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            TEST_FILTER "-${T_REAL_TIME}")
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            TEST_FILTER "${T_REAL_TIME}" ${serial})
    else()
        gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# The calibration, average and repeatability dialogs against the simulated instrument.
qv_add_test(NAME test_gui_measure GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/measure_dialogs_test.cpp)
target_include_directories(test_gui_measure PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

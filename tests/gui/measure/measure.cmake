# The calibration, average and repeatability dialogs (of three and of many readings) against the simulated instrument.
qv_add_test(NAME test_gui_measure GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/extended_repeatability_dlg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure_dialogs_test.cpp)
target_include_directories(test_gui_measure PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

# The user-calibration dialogs against two simulated instruments behind one port.
qv_add_test(NAME test_gui_coeff GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/coeff_dialogs_test.cpp)
target_include_directories(test_gui_coeff PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

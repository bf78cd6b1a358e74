# The inter-instrument dialogs against two simulated instruments behind one port.
qv_add_test(NAME test_gui_checks GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/checks_dialogs_test.cpp)
target_include_directories(test_gui_checks PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

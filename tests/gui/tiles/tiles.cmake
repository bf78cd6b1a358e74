# The tile-set dialogs against two simulated instruments behind one port; the check tile and
# the tiles' certificates against a simulated thermochromic tile.
qv_add_test(NAME test_gui_tiles GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_dialogs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_tile_dialogs_test.cpp)
target_include_directories(test_gui_tiles PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

# Every window of the program on a 1366 x 768 screen, at its smallest size.
qv_add_test(NAME test_gui_sizes GUI LIBS qvgui SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../window_sizes_test.cpp)
target_include_directories(test_gui_sizes PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

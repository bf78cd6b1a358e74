# The inter-instrument check over a tile set and the set's settings; the check tile and the
# tiles' certificates.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_panel.h
    ${CMAKE_CURRENT_LIST_DIR}/difference_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/difference_chart.h
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_settings_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_settings_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/check_tile_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_tile_dlg.h)

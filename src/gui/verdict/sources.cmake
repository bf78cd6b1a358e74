# The verdict window and the threshold dialog, a leaf every check opens.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/instr_stability_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instr_stability_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/instr_stability_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/threshold_diff_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/threshold_diff_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/threshold_diff_dlg.ui)

# User calibration: writing correction factors into an entry, the entry list's worker and
# loading window, deleting an entry.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/coeff_read_write_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coeff_read_write_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/corr_coeff_write_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/corr_coeff_write_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/delete_coeff_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/delete_coeff_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/delete_coeff_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/entry_list_loader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_list_loader.h)

# The inter-instrument check: the hub dialog and its target and sample measurements.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/inst_error_confirmation_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inst_error_confirmation_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/inst_error_confirmation_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/validation_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/validation_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/validation_dlg.ui)

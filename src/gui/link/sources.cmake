# Line settings and connecting the instrument.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/comm_setting_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/comm_setting_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/comm_setting_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/conn_inst_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/conn_inst_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/conn_inst_dlg.ui)

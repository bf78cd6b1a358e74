# The main window, the splash and about window, the desktop start and what it wires.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/brenmoor_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/brenmoor_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/brenmoor_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/desktop_start.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_start.h
    ${CMAKE_CURRENT_LIST_DIR}/program_start.cpp
    ${CMAKE_CURRENT_LIST_DIR}/program_start.h
    ${CMAKE_CURRENT_LIST_DIR}/splash_wnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/splash_wnd.h
    ${CMAKE_CURRENT_LIST_DIR}/splash_wnd.ui
    ${CMAKE_CURRENT_LIST_DIR}/task_dialogs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/task_dialogs.h)

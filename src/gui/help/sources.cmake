# The operator's guide: its window, the page each window's F1 opens, the guide of one run.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/help_topics.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_topics.h
    ${CMAKE_CURRENT_LIST_DIR}/help_wnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_wnd.h
    ${CMAKE_CURRENT_LIST_DIR}/operator_guide.cpp
    ${CMAKE_CURRENT_LIST_DIR}/operator_guide.h)

# What the logbook hands out: the certificate of a check, and the history window with its trend.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/certificate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate.h
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.h
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/trend_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trend_chart.h)

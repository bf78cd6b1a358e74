# The history window with its trend, the fleet window, the check intervals, the profiles window
# and the logbook location dialog (the certificates the
# history offers are painted in report/log).
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/check_intervals_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_intervals_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/fleet_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/history_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/logbook_location_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook_location_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/logbook_location_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/profiles_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profiles_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/time_axis.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_axis.h
    ${CMAKE_CURRENT_LIST_DIR}/trend_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trend_chart.h)

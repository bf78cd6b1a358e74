# Calibration, average measurement and the repeatability checks (of three and of many readings).
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/extended_repeatability_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extended_repeatability_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.ui)

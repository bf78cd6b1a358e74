# Calibration, average measurement and the repeatability check.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/average_measurement_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/calibration_dlg.ui
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.h
    ${CMAKE_CURRENT_LIST_DIR}/reproducible_measurement_dlg.ui)

target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/cgats_export.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_intervals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cxf_spectra.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_status.cpp
    ${CMAKE_CURRENT_LIST_DIR}/long_term_trend.cpp
    ${CMAKE_CURRENT_LIST_DIR}/performance_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/performance.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_spectra.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_validity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/result_file_import.cpp
    ${CMAKE_CURRENT_LIST_DIR}/result_kinds.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workstations.cpp)

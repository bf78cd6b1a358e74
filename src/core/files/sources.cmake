target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/coefficient_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extended_repeatability_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cgats_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_lines.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registration_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/repeatability_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/validation_files.cpp)

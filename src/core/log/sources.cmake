target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/result_file_import.cpp)

target_sources(qvcore PRIVATE)
include(${CMAKE_CURRENT_LIST_DIR}/workflows.cmake)

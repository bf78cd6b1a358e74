target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/comm_settings_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/connection_workflow.cpp)

target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/dib.cpp
    ${CMAKE_CURRENT_LIST_DIR}/number_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_division.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_table_text.cpp)

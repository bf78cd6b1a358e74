target_sources(qvcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp)

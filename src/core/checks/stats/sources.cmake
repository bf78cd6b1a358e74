target_sources(qvcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/data_analyzer.cpp)

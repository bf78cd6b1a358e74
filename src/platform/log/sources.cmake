target_sources(qvplatform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sql_logbook.cpp)

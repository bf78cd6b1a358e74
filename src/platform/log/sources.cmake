target_sources(qvplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/fleet_history.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_logbook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/import_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook_location.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook_server_tasks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook_schema.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_logbook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_logbook_read.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_logbook_write.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_problem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_record.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_overview.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stored_profiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_certificates.cpp)

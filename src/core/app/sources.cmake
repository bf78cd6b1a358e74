target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/csv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dib.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hold_back.cpp
    ${CMAKE_CURRENT_LIST_DIR}/logbook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_time.cpp
    ${CMAKE_CURRENT_LIST_DIR}/number_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_open_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_division.cpp
    ${CMAKE_CURRENT_LIST_DIR}/student_t.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_table_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thresholds.cpp)

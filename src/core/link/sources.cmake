target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/comm_settings_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/connection_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/identify.cpp
    ${CMAKE_CURRENT_LIST_DIR}/link_failure.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/receive_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reply_judgement.cpp)

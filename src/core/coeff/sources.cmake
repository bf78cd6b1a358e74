target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/coefficient_blocks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coefficient_file_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coefficient_write_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/delete_entry_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_basis.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_exchanges.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_rules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_choice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registration_workflow.cpp)

target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/colour_rows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inter_instrument_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plausibility.cpp
    ${CMAKE_CURRENT_LIST_DIR}/threshold_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/validation_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/verdict_workflow.cpp)

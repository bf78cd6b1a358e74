target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/average_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calibration.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entries_apply.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extended_repeatability.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measured_pair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measurement_exchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/repeatability_workflow.cpp)

target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/data_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measurement_exchange.cpp)

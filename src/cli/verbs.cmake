# Each verb group lists its own file.
include(${CMAKE_CURRENT_LIST_DIR}/colour.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/link.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/measure.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/port.cmake)

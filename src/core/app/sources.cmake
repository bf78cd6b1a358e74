target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_division.cpp)
# The bitmap reader and the start-up workflows list their files here.
include(${CMAKE_CURRENT_LIST_DIR}/shell.cmake)

target_sources(qvplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instance_lock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/locale_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_profile_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/resource_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_clock.cpp)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/resource_file.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS QV_VERSION="${PROJECT_VERSION}" QV_DATA_FROM_BIN="${QV_DATA_FROM_BIN}")

# Every program that links the platform finds the resource file and pictures beside it.
include(${CMAKE_SOURCE_DIR}/resources/resources.cmake)
add_dependencies(qvplatform qvresources qvpictures)

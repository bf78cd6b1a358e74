target_sources(qvplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/locale_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_profile_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_clock.cpp)

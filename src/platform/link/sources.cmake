target_sources(qvplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/line_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_holder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix_serial_channel.cpp)

# Opening the instrument's port with the saved line settings, shared by the verbs.
target_sources(qvl70s-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/port_options.cpp)

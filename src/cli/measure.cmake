target_sources(qvl70s-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/measure_verbs.cpp)

# The simulated instrument for every test program: SimInstrument and SimLine.
target_sources(qvtestsupport PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sim_instrument.cpp)
target_link_libraries(qvtestsupport PUBLIC qvsim)

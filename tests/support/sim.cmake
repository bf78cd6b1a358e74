# The simulated instrument for every test program: SimInstrument and SimLine, and the rig that
# runs the workflows against it on a pseudo-terminal in virtual time.
target_sources(qvtestsupport PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sim_instrument.cpp
    ${CMAKE_CURRENT_LIST_DIR}/measure_rig.cpp)
target_link_libraries(qvtestsupport PUBLIC qvsim)

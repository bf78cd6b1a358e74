# measure benchmarks: a type-53 measurement, a repeatability series, a type-40 measurement
# against its pauses and the host's own time in a validation target measurement, all against
# the in-process simulator.
qv_add_bench(bench_measure ${CMAKE_CURRENT_LIST_DIR}/measure/bench_measure.cpp)
target_link_libraries(bench_measure PRIVATE qvplatform)

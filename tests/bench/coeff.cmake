# coeff benchmarks: the host's own time in listing the 30 entries and writing one, against the
# in-process simulator.
qv_add_bench(bench_coeff ${CMAKE_CURRENT_LIST_DIR}/coeff/bench_coeff.cpp)
target_link_libraries(bench_coeff PRIVATE qvplatform)

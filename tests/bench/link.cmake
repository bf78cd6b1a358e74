# The host's turnaround per exchange and the wall time of an identification, against the
# in-process simulator.
qv_add_bench(bench_link ${CMAKE_CURRENT_LIST_DIR}/link/bench_link.cpp)
target_link_libraries(bench_link PRIVATE qvplatform)

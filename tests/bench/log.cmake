# log benchmarks: importing earlier result files into the logbook.
qv_add_bench(bench_log ${CMAKE_CURRENT_LIST_DIR}/log/bench_import.cpp)
target_link_libraries(bench_log PRIVATE qvplatform)

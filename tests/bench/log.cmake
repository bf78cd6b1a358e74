# log benchmarks: importing earlier result files into the logbook.
qv_add_bench(bench_log ${CMAKE_CURRENT_LIST_DIR}/log/bench_import.cpp)
target_link_libraries(bench_log PRIVATE qvplatform)
# Recording one check, and opening the history window over 10,000 records of one instrument on
# the offscreen platform.
qv_add_bench(bench_history ${CMAKE_CURRENT_LIST_DIR}/log/bench_history.cpp)
target_link_libraries(bench_history PRIVATE qvgui)

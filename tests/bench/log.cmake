# log benchmarks: importing earlier result files into the logbook.
qv_add_bench(bench_log ${CMAKE_CURRENT_LIST_DIR}/log/bench_import.cpp)
target_link_libraries(bench_log PRIVATE qvplatform)
# Recording one check, and opening the history window over 10,000 records of one instrument on
# the offscreen platform.
qv_add_bench(bench_history ${CMAKE_CURRENT_LIST_DIR}/log/bench_history.cpp)
target_link_libraries(bench_history PRIVATE qvgui)
# The lab's shared logbook on a PostgreSQL server of its own: recording one check, and one
# instrument's history out of 100,000 records.
qv_add_bench(bench_fleet_logbook ${CMAKE_CURRENT_LIST_DIR}/log/bench_fleet_logbook.cpp)
# The lab's fleet at a glance over 100,000 records of 50 instruments, on a workstation's file
# and on a PostgreSQL server of its own.
qv_add_bench(bench_fleet_overview ${CMAKE_CURRENT_LIST_DIR}/log/bench_fleet_overview.cpp)
# The fleet page written from a workstation's logbook of 100,000 records of 50 instruments.
qv_add_bench(bench_fleet_page ${CMAKE_CURRENT_LIST_DIR}/log/bench_fleet_page.cpp)
target_link_libraries(bench_fleet_page PRIVATE qvreport)

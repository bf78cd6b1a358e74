# A 30-tile set diagnosed: the physical terms, the predictions and leave-one-out (goal < 5 ms).
qv_add_bench(bench_tiles ${CMAKE_CURRENT_LIST_DIR}/tiles/diagnosis_bench.cpp)
target_link_libraries(bench_tiles PRIVATE qvcore)

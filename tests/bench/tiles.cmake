# A 30-tile set diagnosed: the physical terms, the predictions and leave-one-out (goal < 5 ms);
# a profile fitted on it (goal < 20 ms) and 10,000 readings standardised (goal < 100 ms).
qv_add_bench(bench_tiles ${CMAKE_CURRENT_LIST_DIR}/tiles/diagnosis_bench.cpp)
target_link_libraries(bench_tiles PRIVATE qvcore)

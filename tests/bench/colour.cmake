# Spectra to L*a*b* and colour differences per second.
qv_add_bench(bench_colour ${CMAKE_CURRENT_LIST_DIR}/colour/colour_bench.cpp)
target_link_libraries(bench_colour PRIVATE qvcore)

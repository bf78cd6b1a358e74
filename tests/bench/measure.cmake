# measure benchmarks

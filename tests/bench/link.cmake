# link benchmarks

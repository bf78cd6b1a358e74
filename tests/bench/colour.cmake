# colour benchmarks

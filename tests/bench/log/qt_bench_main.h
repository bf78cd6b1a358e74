#pragma once

// The main of a benchmark that needs Qt (its SQL drivers, a server's tools run as processes):
// the benchmarks run inside a QCoreApplication, and `last` (a server stopped, say) still has it.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <functional>

namespace qv::test {

inline int runBenchmarksWithQt(int argc, char** argv, const std::function<void()>& last) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QCoreApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    last();
    return 0;
}

}  // namespace qv::test

// The logbook's import of earlier result files: 1,000 judgement files taken into a new logbook.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "core/files/validation_files.h"
#include "platform/log/import_folder.h"
#include "platform/log/sql_logbook.h"
#include "support/project_strings.h"
#include "support/temp_home.h"

namespace {

constexpr int kFiles = 1000;

// Judgement files of one pair, each slightly different so that each is a file of its own.
void writeFiles(const std::string& folder, const qv::NumberFormat& format) {
    std::filesystem::create_directories(folder);
    for (int n = 0; n < kFiles; ++n) {
        qv::ThreeAngles target, sample;
        for (int a = 0; a < qv::kAngleCount; ++a)
            for (int j = 0; j < 34; ++j) {
                target[a].push_back(40.0 + 0.1 * j + 0.001 * n);
                sample[a].push_back(40.2 + 0.1 * j + 0.001 * n);
            }
        for (auto& s : sample) s.push_back(0.2);
        const qv::LocalTime time{2026, 1 + n / 300, 1 + n % 28, 9, n % 60, 0};
        std::ofstream(folder + "/Judgement_" + std::to_string(n) + ".csv", std::ios::binary)
            << qv::formatJudgementFile(target, sample, "L70S-100001", "L70S-200002", time,
                                       qv::test::projectStrings(), format);
    }
}

void BM_Import1000ResultFiles(benchmark::State& state) {
    const qv::test::TempHome home;
    const qv::NumberFormat format{',', ";"};
    const std::string folder = home.path() + "/Data";
    writeFiles(folder, format);
    int round = 0;
    for (auto _ : state) {
        qv::SqlLogbook logbook(home.path() + "/logbook-" + std::to_string(round++) + ".sqlite");
        const auto imported = qv::importFolder(folder, logbook, format, qv::test::projectStrings());
        if (imported.size() != kFiles) state.SkipWithError("not every file was imported");
    }
    state.counters["files"] = kFiles;
}
BENCHMARK(BM_Import1000ResultFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

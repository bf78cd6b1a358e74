// The logbook's own costs: recording one check (one transaction on the file), and opening the
// history window over a long history, 10,000 records of one instrument read, put in the table
// and drawn on the trend. Goal: the window open in well under 200 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../../gui/history_reads.h"
#include "core/app/shared_state.h"
#include "gui/kit/gui_context.h"
#include "gui/log/history_dlg.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/posix_serial_channel.h"
#include "platform/log/sql_logbook.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace {

constexpr int kHistoryRecords = 10000;

// The i-th check before 7 December 2026, two hours apart: mostly inter-instrument checks, some
// verifications and repeatability series, now and then one failing.
qv::CheckRecord checkRecord(int i) {
    const qint64 last = QDateTime(QDate(2026, 12, 7), QTime(15, 0)).toSecsSinceEpoch();
    const qv::RecordKind kind = i % 10 == 0  ? qv::RecordKind::Repeatability
                                : i % 7 == 0 ? qv::RecordKind::Verification
                                             : qv::RecordKind::InterInstrument;
    qv::CheckRecord r = qv::emptyRecord(kind, qv::localTimeOf(last - 7200LL * i));
    r.serial = "L70S-200002";
    r.instrumentType = "53";
    r.referenceSerial = kind == qv::RecordKind::Repeatability ? "" : "L70S-100001";
    r.threshold = kind == qv::RecordKind::Repeatability ? 0.2 : 0.5;
    r.formula = "dE00";
    const double spread = 0.05 * (i % 13);
    for (int a = 0; a < qv::kAngleCount; ++a)
        r.angles[a] = {{52.3 - 8 * a, 38.5 - 5 * a, 21.1 - 3 * a}, 0.1 + spread + 0.05 * a, NAN};
    r.passed = r.angles[2].deltaE < r.threshold;
    r.files = {"/home/operator/Documents/VARNHOLT/QV-L70s/Data/Judgement_" +
               qv::resultTimestamp(r.time) + ".csv"};
    return r;
}

// A temporary home on a memory file system where there is one: filling 10,000 records then
// costs no 10,000 disk flushes, and the window reads the same records either way.
std::unique_ptr<qv::test::TempHome> memoryHome() {
    const bool memory = !std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm");
    if (memory) setenv("TMPDIR", "/dev/shm", 1);
    auto home = std::make_unique<qv::test::TempHome>();
    if (memory) unsetenv("TMPDIR");
    return home;
}

void BM_RecordOneCheck(benchmark::State& state) {
    qv::test::TempHome home;
    qv::SqlLogbook logbook(home.path() + "/logbook.sqlite");
    if (!logbook.isOpen()) return state.SkipWithError("the logbook cannot be opened");
    qv::CheckRecord r = checkRecord(1);
    // The file the check wrote, of a judgement file's size: recording reads it for its digest.
    r.files = {home.path() + "/Judgement.csv"};
    std::ofstream(r.files[0], std::ios::binary) << std::string(4096, '1');
    std::int64_t id = 0;
    for (auto _ : state) id = logbook.record(r);
    if (id == 0) state.SkipWithError("the check was not recorded");
}
BENCHMARK(BM_RecordOneCheck)->Unit(benchmark::kMicrosecond);

void BM_HistoryOpen10000(benchmark::State& state) {
    const auto home = memoryHome();
    qv::test::VirtualClock clock;
    qv::test::ScriptedPrompter prompter;
    qv::QtProfileStore profile;
    qv::SharedState shared(std::make_unique<qv::PosixSerialChannel>());
    qv::AtomicFileStore files;
    const auto strings = qv::loadResourceStrings(QV_BIN_DIR "/VNBRMRes.rcc");
    if (!strings) return state.SkipWithError("no resource file");
    qv::GuiContext context{{shared, clock, prompter, profile, files, *strings, {}}, {}, {}};
    qv::SqlLogbook logbook(home->path() + "/logbook.sqlite");
    if (!logbook.isOpen()) return state.SkipWithError("the logbook cannot be opened");
    for (int i = 0; i < kHistoryRecords; ++i) logbook.record(checkRecord(i));
    for (auto _ : state) {
        // Opened on its only instrument: the records read, tabled and charted, then painted.
        qv::CHistoryDlg dialog(context, logbook);
        qv::test::readThrough(dialog);
        dialog.show();
        QPixmap painted = dialog.grab();
        benchmark::DoNotOptimize(painted);
    }
    state.counters["records"] = kHistoryRecords;
    state.counters["goal_ms"] = 200;
}
BENCHMARK(BM_HistoryOpen10000)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

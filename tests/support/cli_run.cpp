#include "support/cli_run.h"

#include <QBuffer>
#include <QDateTime>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <thread>

#include "cli/verbs.h"
#include "core/app/serial_channel.h"
#include "core/link/commands.h"
#include "support/virtual_clock.h"

namespace qv::test {

namespace {

// Virtual time from today's date: a time-out costs no real time, and what the verb dates falls
// on the day the test runs. A verb may talk to two instruments, so the raw read of a target
// measurement, which takes only what has arrived after its fixed wait, gets real time to let
// the line arrive whichever port it is on.
class CliClock : public VirtualClock {
public:
    // Never before where the last run's time ended: its waits took no real time, and the
    // records a test compares must follow one another as they did.
    CliClock() {
        const auto today = static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch());
        advanceMs(std::max(today, ended) - nowMs());
    }
    ~CliClock() override { ended = std::max(ended, nowMs()); }
    CliClock(const CliClock&) = delete;
    CliClock& operator=(const CliClock&) = delete;
    void sleepMs(std::uint32_t ms) override {
        VirtualClock::sleepMs(ms);
        if (ms == kRawReadWaitMs) std::this_thread::sleep_for(kRawLineSettle);
    }
    // A line that stayed silent for a while of real time runs its time-out faster: each wait
    // still looks at the line for a real moment, so an answer is never missed, but counts for
    // more and more virtual time.
    bool waitForInput(ByteSource& source, std::uint32_t ms) override {
        if (VirtualClock::waitForInput(source, ms)) {
            misses_ = 0;
            return true;
        }
        if (++misses_ > kSilentAfterMisses)
            advanceMs(std::min<std::uint64_t>(kMostMoreMs,
                                              std::uint64_t{ms} * (misses_ - kSilentAfterMisses)));
        return false;
    }

private:
    static constexpr std::chrono::milliseconds kRawLineSettle{250};
    static inline std::uint64_t ended = 0;
    static constexpr int kSilentAfterMisses = 150;  // 0.3 s of real time
    static constexpr std::uint64_t kMostMoreMs = 250;
    int misses_ = 0;
};

}  // namespace

CliRun runCli(const QStringList& args, const QByteArray& input) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QByteArray inBytes = input;
    QBuffer in(&inBytes);
    in.open(QIODevice::ReadOnly);
    CliClock clock;
    cli::Io io{outStream, errStream, in, clock};
    CliRun r;
    r.exitCode = cli::run(QStringList{QStringLiteral("qvl70s-cli")} + args, io);
    outStream.flush();
    errStream.flush();
    r.out = out.toStdString();
    r.err = err.toStdString();
    return r;
}

CliRun runCliProcess(const QStringList& args, const QByteArray& input, int timeoutMs) {
    QProcess p;
    p.start(QStringLiteral(QV_BIN_DIR "/qvl70s-cli"), args);
    CliRun r;
    if (!p.waitForStarted(5000)) return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

}  // namespace qv::test

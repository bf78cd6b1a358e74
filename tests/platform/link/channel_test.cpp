// The serial channel on real pseudo-terminals: the receive rules, line settings, exclusive
// open, floods and hang-ups.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/link/port_names.h"
#include "core/link/receive_line.h"
#include "feeding_clock.h"
#include "platform/app/system_clock.h"
#include "platform/link/line_settings.h"
#include "platform/link/posix_serial_channel.h"
#include "pty_pair.h"

namespace qv {
namespace {

using test::FeedingClock;
using test::PtyPair;
using Steady = std::chrono::steady_clock;

double secondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(port.open(pty.slavePath()));
    }
    // Virtual milliseconds one receiveLine takes.
    std::uint64_t timedReceive(int timeoutS, std::string& line) {
        const std::uint64_t start = clock.nowMs();
        line = port.receiveLine(clock, timeoutS);
        return clock.nowMs() - start;
    }

    PtyPair pty;
    FeedingClock clock{pty};
    PosixSerialChannel port;
};

TEST_F(ChannelTest, CommandsGoOutVerbatimAndARepliedLineKeepsItsCarriageReturn) {
    ASSERT_TRUE(port.send("IDR\r\n"));
    EXPECT_EQ(pty.read(), "IDR\r\n");
    ASSERT_TRUE(port.send("CPS,0\r"));  // the CPS command ends without a line feed
    EXPECT_EQ(pty.read(), "CPS,0\r");
    pty.write("OK00\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "OK00\r");
    // Raw mode: a lone CR is not turned into a line feed, bytes above 127 pass.
    pty.write("A\rB\xff\xfe\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "A\rB\xff\xfe\r");
}

TEST_F(ChannelTest, ChunkedRepliesAndLeadingLineFeedsMakeTheSameLine) {
    clock.atWait(1, "OK");
    clock.atWait(3, "00\r");
    clock.atWait(4, "\n");
    EXPECT_EQ(port.receiveLine(clock, 5), "OK00\r");
    pty.write("\n");
    clock.atWait(2, "\n\nOK01\r\n");
    EXPECT_EQ(port.receiveLine(clock, 5), "OK01\r");
}

TEST_F(ChannelTest, OnlyTheFirstOfTwoLinesInOneReadSurvivesAndLaterBytesStartTheNextReply) {
    pty.write("OK00,1\r\nOK00,2\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.receiveLine(clock, 1), "OK00,1\r");
    std::string line;
    timedReceive(1, line);
    EXPECT_EQ(line, "");  // the second line was in the same read: lost
    pty.write("late\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.receiveLine(clock, 1), "late\r");
}

TEST_F(ChannelTest, SilenceEndsAfterMoreThanTheTimeOutAndAtMostOneSecondMore) {
    clock.realSliceMs = 0;
    // The calendar counts whole seconds, so the wait depends on where in a second it starts.
    for (std::uint64_t phaseMs : {0u, 1u, 500u, 999u}) {
        SCOPED_TRACE(phaseMs);
        clock.advanceMs(1000 - clock.nowMs() % 1000 + phaseMs);
        std::string line = "x";
        const std::uint64_t waited = timedReceive(5, line);
        EXPECT_EQ(line, "");
        EXPECT_GT(waited, 5000u);
        EXPECT_LE(waited, 6000u + kReceiveIdleWaitMs);
    }
    std::string line = "x";
    EXPECT_LE(timedReceive(0, line), 1000u + kReceiveIdleWaitMs);
    EXPECT_LE(timedReceive(-3, line), kReceiveIdleWaitMs);  // already past: no wait at all
    EXPECT_EQ(line, "");
}

TEST_F(ChannelTest, APartialLineGetsHalfASecondOfGraceForItsLineFeed) {
    // Nothing more: the partial line is returned as it stands, 500 ms after the time-out.
    pty.write("OK0");
    std::string line;
    const std::uint64_t waited = timedReceive(1, line);
    EXPECT_EQ(line, "OK0");
    EXPECT_GT(waited, 1000u + kPartialLineGraceMs);
    EXPECT_LE(waited, 2000u + kReceiveIdleWaitMs + kPartialLineGraceMs);

    // The line feed within the grace completes the line.
    pty.write("OK0");
    clock.inGrace("0\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "OK00\r");

    // More text without a line feed is read back to back; the grace is not restarted.
    pty.write("OK");
    clock.inGrace("00");
    clock.advanceMs(1000 - clock.nowMs() % 1000);  // start on a whole second
    const std::uint64_t graceWaited = timedReceive(1, line);
    EXPECT_EQ(line, "OK00");
    EXPECT_EQ(graceWaited, 2000u + kPartialLineGraceMs);
}

TEST_F(ChannelTest, AZeroByteEndsTheTextOfItsChunk) {
    pty.write(std::string("AB\0CD\r\n", 7));
    EXPECT_EQ(port.receiveLine(clock, 1),
              "AB");  // the line feed was after the zero: grace, then "AB"
    pty.write("OK");
    clock.atWait(1, std::string("\0\r\n", 3));
    clock.atWait(2, "0\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "OK0\r");
    pty.write(std::string("\0\0\0", 3));
    std::string line = "x";
    timedReceive(1, line);
    EXPECT_EQ(line, "");
}

TEST_F(ChannelTest, AFloodWithoutLineFeedIsCutAtTheBoundAndTheNextReplyStartsClean) {
    // 200 KiB of one line, then its line feed and a proper reply.
    std::thread writer([&] {
        pty.write(std::string(200 * 1024, 'x'));
        pty.write("\r\n");
    });
    std::string line = port.receiveLine(clock, 20);
    writer.join();
    EXPECT_EQ(line, std::string(kMaxLineBytes, 'x'));
    pty.write("OK00\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "OK00\r");

    // A flood that never ends its line: the time-out and grace end it, still bounded.
    std::thread flood([&] { pty.write(std::string(100 * 1024, 'y')); });
    line = port.receiveLine(clock, 1);
    flood.join();
    EXPECT_EQ(line.size(), kMaxLineBytes);
    EXPECT_EQ(line.find_first_not_of('y'), std::string::npos);
}

TEST_F(ChannelTest, GarbageNeverCrashesOrHangs) {
    std::string garbage;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 24);
    }
    std::atomic<bool> written = false;
    std::thread writer([&] {
        pty.write(garbage);
        written = true;
    });
    int lines = 0;
    for (int i = 0; i < 1000; ++i) {
        const bool drained = written;
        const std::string line = port.receiveLine(clock, 0);
        EXPECT_LE(line.size(), kMaxLineBytes);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        if (line.empty() && drained) break;
        lines += !line.empty();
    }
    writer.join();
    EXPECT_GT(lines, 10);
}

TEST(LineSettings, ParityCodesDataBitsAndSpeedsMapToTermiosWithOneStopBit) {
    struct Case {
        std::uint32_t baud;
        std::uint8_t bits, parity;
        tcflag_t size, parityFlags;
        speed_t speed;
    };
    const Case cases[] = {
        {19200, 7, 0, CS7, 0, B19200},
        {9600, 8, 1, CS8, PARENB | PARODD, B9600},
        {4800, 5, 2, CS5, PARENB, B4800},
        {115200, 7, 3, CS7, PARENB | PARODD | CMSPAR, B115200},
        {2400, 6, 4, CS6, PARENB | CMSPAR, B2400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.parity));
        termios t{};
        t.c_cflag = CSTOPB | PARENB | PARODD | CMSPAR | CS8;  // whatever was there before
        t.c_iflag = INPCK;
        ASSERT_TRUE(setLineSettings(t, c.baud, c.bits, c.parity));
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
        EXPECT_EQ(t.c_iflag & INPCK, 0u);  // parity is not checked on input
    }
    termios t{};
    EXPECT_FALSE(setLineSettings(t, 12345, 8, 0));
    EXPECT_FALSE(setLineSettings(t, 0, 8, 0));
    EXPECT_FALSE(setLineSettings(t, 9600, 9, 0));
    EXPECT_FALSE(setLineSettings(t, 9600, 4, 0));
    EXPECT_FALSE(setLineSettings(t, 9600, 8, 5));
}

TEST_F(ChannelTest, LineDefaultsAreRaw9600EightNoneOneAndSettingsKeepOneStopBit) {
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);  // the master reports the slave's settings
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | INLCR | IGNCR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    t.c_cflag |= CSTOPB;  // as if something else had chosen two stop bits
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &t), 0);
    // A pseudo-terminal carries bytes, not bits: it keeps 8N1, but speed and stop bits show.
    ASSERT_TRUE(port.setParams(19200, 7, 2));
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    // Settings the port refuses leave it at the defaults, not at the last speed or half changed.
    EXPECT_FALSE(port.setParams(12345, 8, 0));
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    ASSERT_TRUE(port.setParams(38400, 8, 0));
    EXPECT_FALSE(port.setParams(9600, 8, 5));
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_TRUE(port.isOpen());
    port.close();
    EXPECT_FALSE(port.setParams(9600, 8, 0));
}

TEST_F(ChannelTest, ThePortIsNotShared) {
    test::VirtualClock other;
    PosixSerialChannel second;
    EXPECT_FALSE(second.open(pty.slavePath()));
    EXPECT_FALSE(second.isOpen());
    // Not through a link to it either.
    const std::string link =
        (std::filesystem::temp_directory_path() / ("qv-link-" + std::to_string(getpid()))).string();
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.slavePath(), link);
    EXPECT_FALSE(second.open(link));
    port.close();
    EXPECT_TRUE(second.open(link));
    EXPECT_EQ(second.devicePath(), link);
    EXPECT_FALSE(port.open(pty.slavePath()));
    second.close();
    std::filesystem::remove(link);
    // Root may open an exclusive terminal anyway; what an ordinary user meets is the flag
    // itself, which must be gone once the port is closed.
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    int exclusive = -1;
    ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(fd);
}

TEST_F(ChannelTest, OpenRefusesWhatIsNotASerialDeviceAndCloseAlwaysWorks) {
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.send("IDR\r\n"));
    const auto start = Steady::now();
    EXPECT_EQ(port.receiveLine(clock, 20), "");  // nothing open: no wait
    EXPECT_LT(secondsSince(start), 0.5);
    EXPECT_FALSE(port.open(""));
    EXPECT_FALSE(port.open("/dev/no-such-port-qv"));
    EXPECT_FALSE(port.open("no-such-port-qv"));  // /dev/no-such-port-qv
    EXPECT_FALSE(port.open("null"));             // /dev/null: not a terminal
    const std::string file = std::filesystem::temp_directory_path() / "qv-not-a-port";
    std::ofstream(file) << "x";
    EXPECT_FALSE(port.open(file));
    std::filesystem::remove(file);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.open(pty.slavePath()));
    // Opening again closes what was held first instead of leaking it.
    EXPECT_TRUE(port.open(pty.slavePath()));
}

TEST(ChannelHangUp, AHungUpLineEndsTheWaitAtOnceAndThePortReopens) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("qv-hup-" + std::to_string(getpid()))).string();
    std::filesystem::remove(link);
    auto first = std::make_unique<PtyPair>();
    ASSERT_TRUE(first->ok());
    std::filesystem::create_symlink(first->slavePath(), link);
    SystemClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(link));

    // The instrument sends part of a line, then the line drops.
    std::thread instrument([&] {
        first->write("OK0");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        first->hangUp();
    });
    const auto start = Steady::now();
    const std::string line = port.receiveLine(clock, 20);
    instrument.join();
    EXPECT_EQ(line, "OK0");  // what came before the hang-up, returned at once
    EXPECT_EQ(port.receiveLine(clock, 20), "");
    EXPECT_FALSE(port.send("IDR\r\n"));
    EXPECT_FALSE(port.pollInput(1000));
    EXPECT_LT(secondsSince(start), 0.6);
    EXPECT_TRUE(port.hungUp());
    // The port is closed by the hang-up itself, and says so under the name it was opened by.
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portState(), PortState::ClosedAfterHangUp);
    EXPECT_EQ(port.portName(), link);
    EXPECT_EQ(port.checkLine(), PortState::ClosedAfterHangUp);

    // The cable comes back (here: a new terminal behind the same link).
    PtyPair second;
    ASSERT_TRUE(second.ok());
    std::filesystem::remove(link);
    std::filesystem::create_symlink(second.slavePath(), link);
    ASSERT_TRUE(port.open(link));
    EXPECT_FALSE(port.hungUp());
    EXPECT_EQ(port.portState(), PortState::Open);
    ASSERT_TRUE(port.send("IDR\r\n"));
    EXPECT_EQ(second.read(), "IDR\r\n");
    second.write("OK00,53\r\n");
    EXPECT_EQ(port.receiveLine(clock, 1), "OK00,53\r");
    port.close();
    EXPECT_EQ(port.portState(), PortState::NotOpen);
    EXPECT_EQ(port.portName(), "");
    std::filesystem::remove(link);
}

TEST(ChannelHangUp, ALineThatHungUpWhileNobodyTalkedIsFoundWithoutReadingAWaitingByte) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    EXPECT_EQ(port.checkLine(), PortState::Open);
    pty.write("OK00\r\n");  // a reply nobody asked for yet stays waiting
    ASSERT_TRUE(port.pollInput(1000));
    EXPECT_EQ(port.checkLine(), PortState::Open);
    EXPECT_EQ(port.readAvailable(64), "OK00\r\n");

    pty.hangUp();
    EXPECT_EQ(port.checkLine(), PortState::ClosedAfterHangUp);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portName(), pty.slavePath());
    EXPECT_FALSE(port.send("IDR\r\n"));
    EXPECT_EQ(port.portState(), PortState::ClosedAfterHangUp);
}

// A cable pulled from an adapter that stays plugged in leaves the tty in place: only the modem
// lines the instrument raised tell, all down at once. A handshake line held low while another
// stays up, our own lines (RTS, DTR) and a device that never raised one (a three-wire cable, a
// pseudo-terminal) say nothing. Pseudo-terminals carry no modem lines, so this is judged here
// and not on the simulator's line.
TEST(ChannelModemLines, APulledCableIsEveryLineTheInstrumentRaisedDown) {
    EXPECT_TRUE(farSideDropped(TIOCM_DSR | TIOCM_CTS, 0));
    EXPECT_TRUE(farSideDropped(TIOCM_CAR, TIOCM_RTS | TIOCM_DTR));
    EXPECT_FALSE(farSideDropped(TIOCM_DSR | TIOCM_CTS, TIOCM_DSR));
    EXPECT_FALSE(farSideDropped(TIOCM_RTS | TIOCM_DTR, 0));
    EXPECT_FALSE(farSideDropped(0, 0));
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    int lines = 0;
    EXPECT_LT(ioctl(pty.master(), TIOCMGET, &lines), 0);
}

TEST(ChannelHangUp, AWriteIntoADeadLineClosesThePortToo) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    pty.hangUp();
    EXPECT_FALSE(port.send("IDR\r\n"));
    EXPECT_EQ(port.portState(), PortState::ClosedAfterHangUp);
}

TEST(ChannelRealTime, ASilentInstrumentReturnsControlWithinTheTimeOutPlusOneSecond) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SystemClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    const auto start = Steady::now();
    EXPECT_EQ(port.receiveLine(clock, 1), "");
    const double waited = secondsSince(start);
    EXPECT_GT(waited, 1.0);
    EXPECT_LE(waited, 2.0 + 0.2);
    RecordProperty("silent_wait_ms", static_cast<int>(waited * 1000));
}

TEST(ChannelRealTime, AReplyIsTakenAsSoonAsItArrives) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SystemClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    // Replies land at 2, 5, ..., 20 ms into the receiver's 20 ms idle wait: a receiver that
    // slept blindly through its waits would take them up to 18 ms late, 9 ms on average.
    constexpr int kRounds = 5;
    constexpr int kPhases = 7;
    std::vector<double> latenciesMs;
    for (int i = 0; i < kRounds * kPhases; ++i) {
        const auto due = Steady::now() + std::chrono::milliseconds(2 + 3 * (i % kPhases));
        Steady::time_point written;
        std::thread instrument([&] {
            std::this_thread::sleep_until(due);
            written = Steady::now();
            pty.write("OK00\r\n");
        });
        const std::string line = port.receiveLine(clock, 5);
        const auto taken = Steady::now();
        instrument.join();
        EXPECT_EQ(line, "OK00\r");
        latenciesMs.push_back(std::chrono::duration<double, std::milli>(taken - written).count());
    }
    // The 90th percentile, so that a few late wake-ups on a busy machine do not count.
    std::sort(latenciesMs.begin(), latenciesMs.end());
    const double p90 = latenciesMs[latenciesMs.size() * 9 / 10];
    EXPECT_LT(p90, 5.0);
    RecordProperty("reply_latency_p90_us", static_cast<int>(p90 * 1000));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The cause a child process meets opening `path` as an ordinary user (nobody when the test
// runs as root, who may open anything).
PortOpenFailure causeForOrdinaryUser(const std::string& path) {
    int result[2];
    if (pipe(result) != 0) return PortOpenFailure::None;
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
        PosixSerialChannel port;
        port.open(path);
        const auto kind = static_cast<char>(port.lastOpenError().kind);
        _exit(write(result[1], &kind, 1) == 1 ? 0 : 1);
    }
    char kind = -1;
    close(result[1]);
    const bool got = read(result[0], &kind, 1) == 1;
    close(result[0]);
    waitpid(child, nullptr, 0);
    return got ? static_cast<PortOpenFailure>(kind) : PortOpenFailure::None;
}

TEST(PortOpenCause, MissingForbiddenBusyAndNotSerialEachSaySo) {
    PosixSerialChannel port;
    EXPECT_FALSE(port.open("/dev/no-such-port-qv"));
    EXPECT_EQ(port.lastOpenError().kind, PortOpenFailure::Missing);
    EXPECT_NE(port.lastOpenError().detail.find("/dev/no-such-port-qv"), std::string::npos);
    EXPECT_FALSE(port.open("/dev/null"));
    EXPECT_EQ(port.lastOpenError().kind, PortOpenFailure::NotSerial);

    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixSerialChannel holder;
    ASSERT_TRUE(holder.open(pty.slavePath()));
    EXPECT_FALSE(port.open(pty.slavePath()));
    EXPECT_EQ(port.lastOpenError().kind, PortOpenFailure::Busy);
    // The holder is this very process.
    EXPECT_NE(port.lastOpenError().holder.find("(process " + std::to_string(getpid()) + ")"),
              std::string::npos)
        << port.lastOpenError().holder;
    holder.close();
    EXPECT_TRUE(port.open(pty.slavePath()));
    EXPECT_EQ(port.lastOpenError().kind, PortOpenFailure::None);
    port.close();

    // No one but root may open it now; root itself is checked as nobody.
    ASSERT_EQ(chmod(pty.slavePath().c_str(), 0), 0);
    EXPECT_EQ(causeForOrdinaryUser(pty.slavePath()), PortOpenFailure::NoPermission);
}

}  // namespace
}  // namespace qv

// The simulated instrument seen from the program's side of the pseudo-terminal.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"
#include "support/sim_instrument.h"

namespace {

using qv::sim::InstrumentConfig;
using qv::sim::Options;
using qv::test::SimInstrument;
using qv::test::SimLine;
using Reading = std::array<std::array<double, 31>, 3>;
namespace fs = std::filesystem;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string f;
    std::istringstream in(line);
    while (std::getline(in, f, ',')) out.push_back(f);
    if (!line.empty() && line.back() == ',') out.push_back("");
    return out;
}

double number(const std::string& text) {
    double v = -1e9;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

InstrumentConfig instrument(const std::string& name, const std::string& type, const std::string& id,
                            const std::string& specimen = "white") {
    InstrumentConfig c;
    c.name = name;
    c.type = type;
    c.idText = id;
    c.specimen = specimen;
    return c;
}

Options optionsFor(std::vector<InstrumentConfig> instruments) {
    Options o;
    o.instruments = std::move(instruments);
    return o;
}

struct TempDir {
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "qvsim-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string path;
};

// What the simulator passed on as warnings, from whichever thread.
struct Warnings {
    std::function<void(const std::string&)> sink() {
        return [this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
        };
    }
    bool any(const std::string& part) {
        std::lock_guard lock(mutex);
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::string& t) { return t.find(part) != std::string::npos; });
    }
    std::mutex mutex;
    std::vector<std::string> texts;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// MES and every line of the "&" stream up to the instrument's "no data" answer.
std::vector<std::string> measureStream(SimLine& line) {
    std::vector<std::string> stream;
    EXPECT_EQ(line.ask("MES\r\n"), "OK00\r\n");
    for (std::string reply = line.ask("&\r\n");
         reply != "ER03\r\n" && !reply.empty() && stream.size() < 10; reply = line.ask("&\r\n")) {
        stream.push_back(reply);
    }
    return stream;
}

// The three data lines of a measurement, parsed.
Reading measure(SimLine& line) {
    Reading r{};
    const auto stream = measureStream(line);
    EXPECT_GE(stream.size(), 6u);
    for (std::size_t a = 0; a < 3 && 2 * a < stream.size(); ++a) {
        const auto f = fields(stream[2 * a].substr(0, stream[2 * a].size() - 2));
        EXPECT_EQ(f.size(), 32u) << stream[2 * a];
        for (std::size_t j = 0; j < 31 && j + 1 < f.size(); ++j) r[a][j] = number(f[j + 1]);
    }
    return r;
}

// Writes entry `no` for `serial` with the given factors per angle (reflectances 50.00).
void writeEntry(SimLine& line, const std::string& no, const std::string& serial,
                const std::array<std::array<double, 16>, 3>& factors) {
    ASSERT_EQ(line.ask("UCS,1," + no + ",LOOP," + "06.12.2026 05:28:35," + serial + "\r\n"),
              "OK00\r\n");
    for (int a = 0; a < 3; ++a) {
        std::string cmd = "UCS," + std::to_string(a + 2) + "," + no;
        for (int k = 0; k < 16; ++k) cmd += ",50.00";
        for (double f : factors[a]) {
            char buf[16];
            std::snprintf(buf, sizeof buf, ",%.2f", f);
            cmd += buf;
        }
        ASSERT_EQ(line.ask(cmd + "\r\n"), "OK00\r\n") << cmd;
    }
}

std::array<std::array<double, 16>, 3> flatFactors(double f25, double f45, double f75) {
    std::array<std::array<double, 16>, 3> f{};
    f[0].fill(f25);
    f[1].fill(f45);
    f[2].fill(f75);
    return f;
}

Reading scaled(const Reading& r, double factor) {
    Reading out{};
    for (int a = 0; a < 3; ++a)
        for (int j = 0; j < 31; ++j) out[a][j] = r[a][j] * factor;
    return out;
}

void expectNear(const Reading& actual, const Reading& expected, double tolerance) {
    for (int a = 0; a < 3; ++a) {
        for (int j = 0; j < 31; ++j)
            ASSERT_NEAR(actual[a][j], expected[a][j], tolerance) << a << "/" << j;
    }
}

// The CPS command a program builds from a CPR reply.
std::string cpsFrom(std::string cpr) {
    cpr.pop_back();  // the line feed; the carriage return stays
    cpr.replace(0, 4, "CPS");
    cpr.replace(12, 2, " 0");
    cpr[5] = '0';
    return cpr;
}

// ---- identification and the line ----

TEST(SimIdentify, AnswersEachKindOnARawLine) {
    for (const std::string type : {"53", "40"}) {
        SimInstrument sim(type, "L70S-000123");
        SimLine line(sim.port());
        ASSERT_TRUE(line.isOpen());
        const std::string reply = line.ask("IDR\r\n");
        ASSERT_GE(reply.size(), 14u);
        EXPECT_EQ(fields(reply)[0], "OK00");
        EXPECT_EQ(fields(reply)[1], type);
        EXPECT_EQ(reply.substr(12, reply.find(',', 12) - 12), "L70S-000123");
        EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
    }
    SimInstrument three("three-field");
    SimLine line(three.port());
    const std::string reply = line.ask("IDR\r\n");
    EXPECT_EQ(reply, "OK00, 0, 0, 1\r\n");
    EXPECT_EQ(reply.size() - 1, 14u);

    // The slave is raw as a serial line: no echo, no CR/LF translation either way.
    termios t{};
    ASSERT_EQ(tcgetattr(line.fd(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.readFor(50), "");
}

TEST(SimIdentify, TakesCrOrLfAsTerminatorAndRefusesJunk) {
    SimInstrument sim("40");
    SimLine line(sim.port());
    EXPECT_EQ(fields(line.ask("IDR\r"))[1], "40");
    EXPECT_EQ(fields(line.ask("\nIDR\n"))[1], "40");  // the LF after the lone CR belongs to it
    // CR LF split over two writes is still one command.
    ASSERT_TRUE(line.send("IDR\r"));
    EXPECT_EQ(fields(line.readLine(1000))[1], "40");
    ASSERT_TRUE(line.send("\n"));
    EXPECT_EQ(line.readFor(100), "");
    EXPECT_EQ(line.ask("\r\n", 100), "");  // an empty line is not a command
    EXPECT_EQ(line.ask(std::string("ID\0R\r\n", 6)), "ER01\r\n");
    EXPECT_EQ(line.ask(std::string(5000, 'A') + "\r\n"), "ER02\r\n");
    EXPECT_EQ(line.ask("IDR,1\r\n"), "ER02\r\n");
    EXPECT_EQ(line.ask("HELLO\r\n"), "ER01\r\n");
    const auto log = sim.simulator().log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const auto& e) { return e.text == "unknown command"; }));
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[1], "40");
}

// ---- settings, calibration, STR ----

TEST(SimCommands, SettingsResetCalibrationAndStr) {
    SimInstrument sim("53");
    SimLine line(sim.port());
    const std::string cpr = line.ask("CPR\r\n");
    ASSERT_EQ(cpr.substr(0, 5), "OK00,");
    const std::string cps = cpsFrom(cpr);
    ASSERT_LT(cps.size(), 50u);
    EXPECT_EQ(line.ask(cps), "OK00\r\n");  // ends with the lone CR of the CPR reply
    EXPECT_EQ(line.ask("\n", 100), "");    // a late LF is no command
    const std::string after = line.ask("CPR\r\n");
    EXPECT_EQ(after, "OK00" + cps.substr(3) + "\n");  // CPR reports what CPS set
    EXPECT_EQ(line.ask("CPS,1\r"), "ER02\r\n");

    EXPECT_EQ(line.ask("USR\r\n"), "OK00,1\r\n");
    EXPECT_EQ(line.ask("USS,0\r\n"), "OK00\r\n");
    EXPECT_EQ(line.ask("USR\r\n"), "OK00,0\r\n");
    EXPECT_EQ(line.ask("USS,x\r\n"), "ER02\r\n");

    EXPECT_EQ(line.ask("UZC\r\n"), "OK00\r\n");
    EXPECT_EQ(line.ask("CAL\r\n"), "OK00\r\n");
    const std::string str = line.ask("STR\r\n");
    EXPECT_EQ(fields(str)[0], "OK00");
    EXPECT_GE(fields(str).size(), 2u);
}

// ---- measurements ----

TEST(SimMeasure, StreamHasSixLinesPlusOneForType53) {
    const std::pair<std::string, std::size_t> kinds[] = {{"53", 7}, {"40", 6}, {"three-field", 6}};
    for (const auto& [type, count] : kinds) {
        SimInstrument sim(type);
        SimLine line(sim.port());
        EXPECT_EQ(line.ask("&\r\n"), "ER03\r\n");  // nothing measured yet
        const auto stream = measureStream(line);
        ASSERT_EQ(stream.size(), count) << type;
        for (int a = 0; a < 3; ++a) {
            const auto data = fields(stream[2 * a].substr(0, stream[2 * a].size() - 2));
            for (std::size_t i = 1; i < data.size(); ++i) {
                EXPECT_NE(data[i].find('.'), std::string::npos);
                EXPECT_EQ(data[i].size() - data[i].find('.'), 3u);
            }
            EXPECT_EQ(fields(stream[2 * a + 1])[1], std::to_string(std::array{25, 45, 75}[a]));
        }
    }
}

TEST(SimMeasure, SpecimensLookLikeRealPanels) {
    SimInstrument sim("53");
    SimLine line(sim.port());
    const Reading white = measure(line);
    for (const auto& angle : white) {
        for (double v : angle) EXPECT_TRUE(v >= 85.0 && v <= 92.0) << v;
    }
    ASSERT_EQ(sim.control("specimen silver"), "ok");
    const Reading silver = measure(line);
    for (int j = 0; j < 31; ++j) {
        EXPECT_TRUE(silver[0][j] > 120.0 && silver[0][j] < 150.0) << silver[0][j];
        EXPECT_LT(silver[1][j], silver[0][j]);
        EXPECT_LT(silver[2][j], silver[1][j]);
    }
    ASSERT_EQ(sim.control("specimen red"), "ok");
    const Reading red = measure(line);
    EXPECT_GT(red[1][30], 5 * red[1][5]);  // 700 nm against 450 nm
    ASSERT_EQ(sim.control("specimen blue"), "ok");
    const Reading blue = measure(line);
    EXPECT_GT(blue[1][5], 2 * blue[1][20]);  // 450 nm against 600 nm
    EXPECT_LT(blue[1][5], 25.0);
    EXPECT_NE(sim.control("specimen chrome").find("error"), std::string::npos);
}

TEST(SimMeasure, NoiseRepeatsWithItsSeedAndGainOffsetAreSystematic) {
    auto noisy = [](std::uint32_t seed) {
        InstrumentConfig c = instrument("A", "40", "N1");
        c.noise = 0.5;
        c.seed = seed;
        SimInstrument sim(optionsFor({c}));
        SimLine line(sim.port());
        return std::make_pair(measure(line), measure(line));
    };
    const auto first = noisy(7);
    const auto again = noisy(7);
    EXPECT_EQ(first.first, again.first);
    EXPECT_EQ(first.second, again.second);
    EXPECT_NE(first.first, first.second);  // noise moves from one reading to the next
    EXPECT_NE(noisy(8).first, first.first);

    InstrumentConfig skewed = instrument("B", "40", "N2");
    skewed.gain = {1.02, 1.0, 0.98};
    skewed.offset = {0.5, 0.0, -0.5};
    SimInstrument sim(optionsFor({instrument("A", "40", "N1"), skewed}));
    SimLine line(sim.port());
    const Reading plain = measure(line);
    ASSERT_EQ(sim.control("plug B"), "ok");
    const Reading b = measure(line);
    for (int a = 0; a < 3; ++a) {
        for (int j = 0; j < 31; ++j) {
            EXPECT_NEAR(b[a][j], skewed.gain[a] * plain[a][j] + skewed.offset[a], 0.011);
        }
    }
}

// ---- user-calibration entries ----

TEST(SimEntries, WriteReadDeleteAndRefuseMalformed) {
    SimInstrument sim("53");
    SimLine line(sim.port());
    const std::string empty = line.ask("UCR,1,007\r\n");
    EXPECT_EQ(empty, "OK00,\r\n");
    EXPECT_EQ(empty.find('\n'), 6u);

    writeEntry(line, "007", "L70S-000001", flatFactors(1.1, 0.5, 1.5));
    EXPECT_EQ(line.ask("UCR,1,007\r\n"), "OK00,LOOP,06.12.2026 05:28:35,L70S-000001\r\n");
    const auto f45 = fields(line.ask("UCR,3,007\r\n"));
    ASSERT_EQ(f45.size(), 33u);
    EXPECT_EQ(f45[1], "50.00");
    EXPECT_EQ(f45[17], "0.50");
    EXPECT_EQ(line.ask("UCR,1,008\r\n"), "OK00,\r\n");
    EXPECT_EQ(line.ask("USD,007\r\n"), "OK00\r\n");
    EXPECT_EQ(line.ask("UCR,1,007\r\n"), "OK00,\r\n");
    EXPECT_EQ(line.ask("UCR,2,007\r\n"), "OK00,\r\n");

    for (const char* bad :
         {"UCR,1,031\r\n", "UCR,1,7\r\n", "UCR,5,001\r\n", "USD,000\r\n", "USD,30\r\n",
          "UCS,1,001,SEVENTEEN CHARS XX,06.12.2026 05:28:35,L70S-000001\r\n", "UCS,1,001,A,B\r\n",
          "UCS,2,001,1.00,2.00\r\n"}) {
        EXPECT_EQ(line.ask(bad), "ER02\r\n") << bad;
    }
    std::string nan = "UCS,2,001";
    for (int i = 0; i < 32; ++i) nan += i == 20 ? ",nan" : ",1.00";
    EXPECT_EQ(line.ask(nan + "\r\n"), "ER02\r\n");
    EXPECT_EQ(line.ask("USD,030\r\n"), "OK00\r\n");
}

TEST(SimEntries, LatestEntryForThisSerialCorrectsTheReading) {
    SimInstrument sim("53", "L70S-000001", "red");
    SimLine line(sim.port());
    const Reading before = measure(line);

    // Factors rising with wavelength at 25° so the interpolated ones are checked too.
    auto factors = flatFactors(1.0, 1.05, 0.9);
    for (int k = 0; k < 16; ++k) factors[0][k] = 1.0 + 0.02 * k;
    writeEntry(line, "003", "L70S-000001", factors);
    const Reading corrected = measure(line);
    Reading expected{};
    for (int j = 0; j < 31; ++j) {
        expected[0][j] = before[0][j] * (1.0 + 0.01 * j);
        expected[1][j] = before[1][j] * 1.05;
        expected[2][j] = before[2][j] * 0.9;
    }
    expectNear(corrected, expected, 0.02);
    expectNear(sim.simulator().expectedReading("A"), corrected, 0.006);

    // An entry made for another instrument changes nothing; a later one for this serial wins.
    writeEntry(line, "004", "L70S-999999", flatFactors(1.4, 1.4, 1.4));
    expectNear(measure(line), corrected, 0.001);
    writeEntry(line, "001", "L70S-000001", flatFactors(1.0, 1.0, 1.0));
    expectNear(measure(line), before, 0.001);
    // Deleting it brings back the one written before; a header alone corrects nothing.
    ASSERT_EQ(line.ask("USD,001\r\n"), "OK00\r\n");
    expectNear(measure(line), corrected, 0.001);
    ASSERT_EQ(line.ask("UCS,1,005,HALF,06.12.2026 05:28:35,L70S-000001\r\n"), "OK00\r\n");
    expectNear(measure(line), corrected, 0.001);
}

// An instrument whose entries are out of force reads the same whatever is written; the rule
// changed while the entry stays brings the entry in.
TEST(SimEntries, NoEntryAppliesUnderTheRuleNone) {
    SimInstrument sim("53", "L70S-000001", "red");
    SimLine line(sim.port());
    ASSERT_EQ(sim.control("set A:entries=none"), "ok");
    const Reading before = measure(line);
    writeEntry(line, "002", "L70S-000001", flatFactors(1.1, 1.1, 1.1));
    expectNear(measure(line), before, 0.001);
    ASSERT_EQ(sim.control("set A:entries=last"), "ok");
    Reading scaled{};
    for (int a = 0; a < 3; ++a)
        for (int j = 0; j < 31; ++j) scaled[a][j] = before[a][j] * 1.1;
    expectNear(measure(line), scaled, 0.02);
    EXPECT_NE(sim.control("set A:entries=first").find("error"), std::string::npos);
}

// As if chosen on the panel: the entry selected applies, whichever was written last and for
// whichever serial; an empty one corrects nothing.
TEST(SimEntries, TheEntrySelectedByNumberApplies) {
    SimInstrument sim("53", "L70S-000001", "red");
    SimLine line(sim.port());
    const Reading before = measure(line);
    writeEntry(line, "001", "L70S-000001", flatFactors(1.1, 1.1, 1.1));
    writeEntry(line, "002", "L70S-000001", flatFactors(0.9, 0.9, 0.9));
    ASSERT_EQ(sim.control("entry 1"), "ok");
    expectNear(measure(line), scaled(before, 1.1), 0.02);
    expectNear(sim.simulator().expectedReading("A"), scaled(before, 1.1), 0.006);
    ASSERT_EQ(sim.control("entry 5 A"), "ok");
    expectNear(measure(line), before, 0.001);
    expectNear(sim.simulator().expectedReading("A"), before, 0.006);
    writeEntry(line, "005", "L70S-999999", flatFactors(1.2, 1.2, 1.2));
    expectNear(measure(line), scaled(before, 1.2), 0.03);
    ASSERT_EQ(sim.control("entry last"), "ok");
    expectNear(measure(line), scaled(before, 0.9), 0.02);
    ASSERT_EQ(sim.control("set A:entries=1"), "ok");
    expectNear(measure(line), scaled(before, 1.1), 0.02);
    for (const char* bad : {"entry 31", "entry 0", "entry 2 B", "entry first", "entry"})
        EXPECT_EQ(sim.control(bad).rfind("error", 0), 0u) << bad;
    ASSERT_EQ(sim.control("unplug"), "ok");
    EXPECT_EQ(sim.control("entry 2"), "error: nothing plugged in");
}

TEST(SimEntries, StateFileKeepsEntriesAcrossRuns) {
    TempDir dir;
    const std::string state = dir.path + "/state";
    Options o =
        optionsFor({instrument("A", "53", "L70S-000001"), instrument("B", "53", "L70S-000002")});
    o.stateFile = state;
    Reading corrected{};
    {
        SimInstrument sim(o);
        SimLine line(sim.port());
        writeEntry(line, "012", "L70S-000001", flatFactors(1.2, 1.2, 1.2));
        corrected = measure(line);
        ASSERT_EQ(sim.control("plug B"), "ok");
        writeEntry(line, "030", "L70S-000002", flatFactors(0.8, 0.8, 0.8));
    }
    ASSERT_TRUE(fs::exists(state));
    EXPECT_FALSE(fs::exists(state + ".tmp"));
    {
        // Only A this time: B's entries must still be in the file afterwards.
        Options onlyA = o;
        onlyA.instruments.pop_back();
        SimInstrument sim(onlyA);
        SimLine line(sim.port());
        EXPECT_EQ(line.ask("UCR,1,012\r\n"), "OK00,LOOP,06.12.2026 05:28:35,L70S-000001\r\n");
        expectNear(measure(line), corrected, 0.001);
        ASSERT_EQ(line.ask("USD,011\r\n"), "OK00\r\n");  // a change, so the file is rewritten
    }
    {
        SimInstrument sim(o);
        SimLine line(sim.port());
        ASSERT_EQ(sim.control("plug B"), "ok");
        EXPECT_EQ(line.ask("UCR,1,030\r\n"), "OK00,LOOP,06.12.2026 05:28:35,L70S-000002\r\n");
    }
    // A damaged file is reported, in the log file too, and the run starts with what could be
    // read.
    std::ofstream(state) << "qvl70s-sim state 1\nentry\tA\t99\tgarbage\n\x01\x02\x03 not a line\n";
    Warnings warnings;
    o.warning = warnings.sink();
    o.logFile = dir.path + "/log";
    SimInstrument sim(o);
    SimLine line(sim.port());
    EXPECT_EQ(line.ask("UCR,1,012\r\n"), "OK00,\r\n");
    EXPECT_TRUE(warnings.any("2 damaged line(s)"));
    EXPECT_NE(fileText(o.logFile).find("damaged"), std::string::npos);
}

TEST(SimEntries, AFileThatIsNotAStateFileIsLeftAloneAndTheSimulatorDoesNotStart) {
    TempDir dir;
    const std::string notes = dir.path + "/notes.txt";
    const std::string text = "Shopping: milk, bread\n";
    std::ofstream(notes) << text;
    for (const std::string& path : {notes, dir.path}) {
        SCOPED_TRACE(path);
        Options o = optionsFor({instrument("A", "53", "L70S-000001")});
        o.stateFile = path;
        qv::sim::Simulator sim(o);
        EXPECT_FALSE(sim.start());
        EXPECT_NE(sim.error().find(path), std::string::npos) << sim.error();
        EXPECT_EQ(sim.portPath(), "");
    }
    EXPECT_EQ(fileText(notes), text);

    // An empty file holds nothing to lose: it becomes the state file.
    const std::string empty = dir.path + "/empty";
    std::ofstream{empty};
    Options o = optionsFor({instrument("A", "53", "L70S-000001")});
    o.stateFile = empty;
    {
        SimInstrument sim(o);
        SimLine line(sim.port());
        ASSERT_EQ(line.ask("USD,001\r\n"), "OK00\r\n");
    }
    EXPECT_EQ(fileText(empty).rfind("qvl70s-sim state 1\n", 0), 0u);
}

// ---- several instruments ----

TEST(SimPlug, ControlChoosesWhichInstrumentAnswers) {
    SimInstrument sim(optionsFor({instrument("REF", "53", "L70S-000001", "white"),
                                  instrument("DUT", "40", "L70S-000002", "white")}));
    SimLine line(sim.port());
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[3], "L70S-000001");
    ASSERT_EQ(sim.control("plug DUT"), "ok");
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[1], "40");
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[3], "L70S-000002");
    EXPECT_NE(sim.control("plug NOBODY").find("error"), std::string::npos);
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[3], "L70S-000002");

    ASSERT_EQ(sim.control("unplug"), "ok");
    EXPECT_EQ(line.ask("IDR\r\n", 200), "");
    ASSERT_EQ(sim.control("set DUT:gain=1.1,offset=0"), "ok");
    EXPECT_NE(sim.control("set DUT:type=99").find("error"), std::string::npos);
    ASSERT_EQ(sim.control("plug DUT"), "ok");
    const Reading dut = measure(line);
    ASSERT_EQ(sim.control("plug REF"), "ok");
    const Reading ref = measure(line);
    EXPECT_NEAR(dut[1][15], 1.1 * ref[1][15], 0.011);
    EXPECT_NE(sim.control("status").find("plugged REF"), std::string::npos);
    EXPECT_NE(sim.control("launch").find("error"), std::string::npos);
}

// ---- faults ----

TEST(SimFaults, SilenceAndReplyByOccurrence) {
    SimInstrument sim("53");
    SimLine line(sim.port());
    ASSERT_EQ(sim.control("fault MES silence"), "ok");
    EXPECT_EQ(line.ask("MES\r\n", 200), "");
    EXPECT_EQ(line.ask("MES\r\n", 200), "");
    EXPECT_EQ(fields(line.ask("IDR\r\n"))[1], "53");
    ASSERT_EQ(sim.control("clear"), "ok");

    ASSERT_EQ(sim.control("fault & reply ER11 occurrence=3"), "ok");
    auto stream = measureStream(line);
    ASSERT_EQ(stream.size(), 7u);
    EXPECT_EQ(stream[2], "ER11\r\n");
    // The instrument went on as usual, and the silenced MES commands were carried out.
    EXPECT_EQ(stream[3], "OK00,45,3\r\n");
    stream = measureStream(line);
    EXPECT_EQ(stream[2].substr(0, 5), "OK00,");

    ASSERT_EQ(sim.control("fault UZC reply=OK02"), "ok");
    EXPECT_EQ(line.ask("UZC\r\n"), "OK02\r\n");
    for (const char* bad :
         {"fault", "fault IDR", "fault IDR bogus", "fault IDR delay=abc", "fault IDR prefix=\\xZZ",
          "fault IDR occurrence=0 silence", "fault IDR chunks=2", "fault IDR chunks=0,500",
          "fault IDR chunks=2,10,0,500"}) {
        EXPECT_NE(sim.control(bad).find("error"), std::string::npos) << bad;
    }
}

TEST(SimFaults, DelayChunksMissingLineFeedPrefixAndFlood) {
    SimInstrument sim("53");
    SimLine line(sim.port());
    ASSERT_EQ(sim.control("fault IDR delay=300"), "ok");
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(line.send("IDR\r\n"));
    EXPECT_EQ(line.readFor(150), "");
    EXPECT_EQ(fields(line.readLine(1000))[1], "53");
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(290));
    ASSERT_EQ(sim.control("clear"), "ok");

    ASSERT_EQ(sim.control("fault CAL chunks=2,150"), "ok");
    ASSERT_TRUE(line.send("CAL\r\n"));
    EXPECT_EQ(line.readFor(60), "OK");
    EXPECT_EQ(line.readLine(1000), "00\r\n");
    ASSERT_EQ(sim.control("clear"), "ok");

    ASSERT_EQ(sim.control("fault UZC nolf"), "ok");
    ASSERT_TRUE(line.send("UZC\r\n"));
    EXPECT_EQ(line.readFor(150), "OK00\r");
    ASSERT_EQ(sim.control("clear"), "ok");

    ASSERT_EQ(sim.control("fault IDR prefix=\\x00\\n"), "ok");
    ASSERT_TRUE(line.send("IDR\r\n"));
    EXPECT_EQ(line.readLine(1000), std::string("\0\n", 2));
    EXPECT_EQ(line.readLine(1000).substr(0, 8), "OK00,53,");
    ASSERT_EQ(sim.control("clear"), "ok");

    ASSERT_EQ(sim.control("fault & flood=20000"), "ok");
    ASSERT_EQ(line.ask("MES\r\n"), "OK00\r\n");
    ASSERT_TRUE(line.send("&\r\n"));
    const std::string flood = line.readFor(300);
    EXPECT_EQ(flood.size(), 20000u);
    EXPECT_EQ(flood.find('\n'), std::string::npos);
    ASSERT_EQ(sim.control("clear"), "ok");
    EXPECT_EQ(line.ask("&\r\n"), "OK00,25,1\r\n");
}

TEST(SimFaults, AnswersStillPendingWhenThePortClosesAreLost) {
    SimInstrument sim("53");
    ASSERT_EQ(sim.control("fault IDR delay=150"), "ok");
    {
        SimLine line(sim.port());
        ASSERT_TRUE(line.send("IDR\r\n"));
        ASSERT_TRUE(sim.waitForReceived(1, 1000));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_EQ(sim.control("clear"), "ok");
    SimLine line(sim.port());
    EXPECT_EQ(line.readFor(50), "");
    EXPECT_EQ(line.ask("CAL\r\n"), "OK00\r\n");
}

// Counts the simulator's reopenings of its line after hang-ups.
struct Reopenings {
    std::atomic<int> count{0};
    // Waits at most a second until `n` reopenings have happened.
    bool reach(int n) const {
        for (int i = 0; i < 1000 && count.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count.load() >= n;
    }
};

TEST(SimFaults, HangupReopensTheLineBehindTheLink) {
    TempDir dir;
    Options o = optionsFor({instrument("A", "53", "L70S-000001")});
    o.linkPath = dir.path + "/port";
    Reopenings reopened;
    o.portReopened = [&reopened](const std::string&) { ++reopened.count; };
    SimInstrument sim(o);
    const std::string first = sim.port();
    EXPECT_EQ(fs::read_symlink(o.linkPath).string(), first);
    SimLine line(o.linkPath);
    ASSERT_EQ(sim.control("fault MES hangup"), "ok");
    ASSERT_TRUE(line.send("MES\r\n"));
    EXPECT_TRUE(line.hungUp(1000));
    // The new line is published before the old one closes: whoever sees the hang-up and asks
    // for the port gets the new one.
    const std::string second = sim.port();
    EXPECT_NE(second, first);
    ASSERT_TRUE(reopened.reach(1));
    EXPECT_EQ(fs::read_symlink(o.linkPath).string(), second);
    SimLine again(o.linkPath);
    EXPECT_EQ(fields(again.ask("IDR\r\n"))[1], "53");
    EXPECT_EQ(again.ask("MES\r\n", 300), "");  // the fault stays until cleared
    EXPECT_TRUE(again.hungUp(1000));
    ASSERT_TRUE(reopened.reach(2));

    ASSERT_EQ(sim.control("clear"), "ok");
    ASSERT_EQ(sim.control("hangup"), "ok");
    ASSERT_TRUE(reopened.reach(3));
    SimLine last(o.linkPath);
    EXPECT_EQ(last.ask("MES\r\n"), "OK00\r\n");
    EXPECT_EQ(fs::read_symlink(o.linkPath).string(), sim.port());
}

// ---- log ----

TEST(SimLog, EveryCommandAndReplyWithMicrosecondStamps) {
    TempDir dir;
    Options o = optionsFor({instrument("A", "53", "L70S-000001")});
    o.logFile = dir.path + "/log";
    SimInstrument sim(o);
    SimLine line(sim.port());
    sim.simulator().clearLog();
    for (int i = 0; i < 50; ++i) ASSERT_EQ(fields(line.ask("IDR\r\n"))[1], "53");

    std::vector<qv::sim::LogEntry> exchange;
    for (const auto& e : sim.simulator().log()) {
        if (e.direction != '#') exchange.push_back(e);
    }
    ASSERT_EQ(exchange.size(), 100u);
    std::vector<std::int64_t> turnaround;
    for (std::size_t i = 0; i < exchange.size(); i += 2) {
        EXPECT_EQ(exchange[i].direction, '>');
        EXPECT_EQ(exchange[i].text, "IDR\\r\\n");
        EXPECT_EQ(exchange[i + 1].direction, '<');
        EXPECT_EQ(exchange[i + 1].text, "OK00,53,L70,L70S-000001,V1.04\\r\\n");
        turnaround.push_back(exchange[i + 1].timeUs - exchange[i].timeUs);
        if (i > 0) {
            EXPECT_GE(exchange[i].timeUs, exchange[i - 1].timeUs);
        }
    }
    std::nth_element(turnaround.begin(), turnaround.begin() + 25, turnaround.end());
    EXPECT_LT(turnaround[25], 1000);

    std::ifstream file(o.logFile);
    std::string text;
    int answers = 0;
    while (std::getline(file, text)) {
        if (text.find(" < OK00,53,L70,L70S-000001,V1.04\\r\\n") != std::string::npos) ++answers;
        EXPECT_GT(number(text.substr(0, text.find(' '))), 0);
    }
    EXPECT_EQ(answers, 50);
}

// ---- the executable ----

struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;  // the child's stderr, read without blocking

    explicit Child(const std::vector<std::string>& args) {
        // Everything the child needs is prepared before fork: it may only exec.
        const std::string bin = std::string(QV_BIN_DIR) + "/qvl70s-sim";
        std::vector<char*> argv{const_cast<char*>(bin.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int pipeFds[2];
        int errFds[2];
        if (pipe(pipeFds) != 0) return;
        if (pipe(errFds) != 0) {
            close(pipeFds[0]);
            close(pipeFds[1]);
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            dup2(errFds[1], STDERR_FILENO);
            close(pipeFds[0]);
            close(errFds[0]);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        close(errFds[1]);
        out = pipeFds[0];
        err = errFds[0];
        fcntl(err, F_SETFL, O_NONBLOCK);
    }
    ~Child() {
        if (pid > 0 && exitCode(0) == -1) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0) close(out);
        if (err >= 0) close(err);
    }
    // Output up to a line feed (or what came within `ms`).
    std::string line(int ms) { return lineFrom(out, ms); }
    std::string errorLine(int ms) { return lineFrom(err, ms); }
    std::string lineFrom(int fd, int ms) {
        std::string text;
        char c;
        for (int waited = 0; waited < ms && text.find('\n') == std::string::npos;) {
            if (read(fd, &c, 1) == 1) {
                text += c;
                continue;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            waited += 5;
        }
        return text;
    }
    std::string all(int ms) {
        std::string text;
        for (std::string l = line(ms); !l.empty(); l = line(ms)) text += l;
        return text;
    }
    // The exit status once it has ended within `ms`; -1 while it runs.
    int exitCode(int ms) {
        for (int waited = 0;; waited += 5) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (waited >= ms) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST(SimProgram, PrintsPortServesControlAndStopsOnSigterm) {
    TempDir dir;
    const std::string link = dir.path + "/port";
    const std::string fifo = dir.path + "/control";
    Child child({"--link", link, "--control", fifo, "--instrument", "A:type=40,id=L70S-000040",
                 "--instrument=B:type=three-field", "--noise", "0.1"});
    fcntl(child.out, F_SETFL, O_NONBLOCK);
    const std::string port = child.line(3000);
    ASSERT_EQ(port.rfind("PORT /dev/", 0), 0u) << port;
    EXPECT_EQ(fs::read_symlink(link).string() + "\n", port.substr(5));

    SimLine line(link);
    EXPECT_EQ(line.ask("IDR\r\n").substr(0, 8), "OK00,40,");
    { std::ofstream(fifo) << "plug B\n"; }
    std::string reply;
    for (int i = 0; i < 100 && reply != "OK00, 0, 0, 1\r\n"; ++i) reply = line.ask("IDR\r\n");
    EXPECT_EQ(reply, "OK00, 0, 0, 1\r\n");
    // A refused control line is said on stderr, not only in the log.
    { std::ofstream(fifo) << "plug C\n"; }
    EXPECT_NE(child.errorLine(3000).find("plug C -> error: no instrument named 'C'"),
              std::string::npos);

    kill(child.pid, SIGTERM);
    EXPECT_EQ(child.exitCode(3000), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(fifo));
}

TEST(SimProgram, SaysOnStderrWhatIsWrongWithItsStateFile) {
    TempDir dir;
    const std::string notes = dir.path + "/notes.txt";
    std::ofstream(notes) << "Shopping: milk, bread\n";
    Child refused({"--state", notes, "--instrument", "A:type=53"});
    EXPECT_EQ(refused.exitCode(3000), 1);
    EXPECT_NE(refused.errorLine(100).find(notes + ": not a simulator state file"),
              std::string::npos);
    EXPECT_EQ(fileText(notes), "Shopping: milk, bread\n");
    // A named pipe is refused too, not waited on for a writer.
    const std::string fifo = dir.path + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Child pipeState({"--state", fifo});
    EXPECT_EQ(pipeState.exitCode(3000), 1);
    EXPECT_NE(pipeState.errorLine(100).find("not a regular file"), std::string::npos);

    const std::string state = dir.path + "/state";
    std::ofstream(state) << "qvl70s-sim state 1\nentry\tA\t7\n";
    Child damaged({"--state", state});
    fcntl(damaged.out, F_SETFL, O_NONBLOCK);
    ASSERT_EQ(damaged.line(3000).rfind("PORT ", 0), 0u);
    EXPECT_NE(damaged.errorLine(1000).find("1 damaged line(s)"), std::string::npos);
}

TEST(SimProgram, HelpDocumentsEveryOptionAndBadOptionsFail) {
    Child help({"--help"});
    EXPECT_EQ(help.exitCode(3000), 0);
    fcntl(help.out, F_SETFL, O_NONBLOCK);
    const std::string text = help.all(100);
    for (const char* word :
         {"--type",         "--id",     "--specimen",   "--noise",       "--seed",
          "--gain",         "--offset", "--instrument", "--link",        "--control",
          "--state",        "--log",    "--fault",      "plug",          "unplug",
          "specimen",       "set",      "silence",      "reply",         "delay=",
          "chunks=",        "nolf",     "prefix=",      "flood",         "hangup",
          "clear",          "PORT",     "--bandpass",   "skewed:L:R",    "--ripple",
          "--rippleperiod", "--cubic",  "--placegain",  "--placeoffset", "--thermo",
          "--room",         "--dirty",  "entry N"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
    Child bad({"--colour", "red"});
    EXPECT_EQ(bad.exitCode(3000), 2);
    Child badInstrument({"--instrument", "A:type=41"});
    EXPECT_EQ(badInstrument.exitCode(3000), 2);
    Child badShape({"--bandpass", "box:4"});
    EXPECT_EQ(badShape.exitCode(3000), 2);
    Child unmodelled({"--bandpass", "skewed:3:6", "--cubic", "0.2", "--entries", "4",
                      "--instrument", "B:dirty=red/0.9,placegain=0.1"});
    fcntl(unmodelled.out, F_SETFL, O_NONBLOCK);
    EXPECT_EQ(unmodelled.line(3000).rfind("PORT ", 0), 0u);
}

}  // namespace

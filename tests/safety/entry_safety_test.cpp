// The instrument-safety matrix: every road that can send USD or UCS, against every answer an
// entry query can get, on every kind of instrument. What may never happen: a destructive command
// without the operator's consent, or any entry command to an instrument that keeps no entries.
// The desktop roads run their workflows in process (the dialogs are thin over them), the tile
// set's correction among them (it opens the same write dialog); the command-line roads run the
// verbs in process, whose prompter answers from --yes.
#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/delete_entry_workflow.h"
#include "core/files/record_file.h"
#include "core/link/exchange.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/sim_instrument.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

// How the instrument answers the query of entry 4.
struct Outcome {
    const char* name;
    const char* fault;  // a control line for the simulator; empty: entry 4's own answer
    bool occupied;      // entry 4 holds "LAB 1" beforehand
};
constexpr std::array<Outcome, 6> kOutcomes{{
    {"free", "", false},
    {"occupied", "", true},
    {"refused", "fault UCR reply ER02", true},
    {"unanswered", "fault UCR silence", true},
    {"garbage", "fault UCR reply \\x01\\x7Fjunk", true},
    {"hang-up", "fault UCR hangup", true},
}};
constexpr std::array<const char*, 3> kTypes{"53", "40", "three-field"};
constexpr const char* kSerial = "L70S-000042";

// What the instrument received of the entry commands, as "UCR UCS UCS USD"; a run of queries
// (a list, then the entry's own) as "UCR×n".
std::string entryCommands(const std::vector<std::string>& received) {
    std::vector<std::string> names;
    for (const std::string& c : received)
        for (const char* m : {"UCR", "UCS", "USD"})
            if (c.rfind(m, 0) == 0) names.emplace_back(m);
    std::string out;
    for (std::size_t i = 0; i < names.size();) {
        std::size_t n = 1;
        while (names[i] == "UCR" && i + n < names.size() && names[i + n] == "UCR") ++n;
        out += (out.empty() ? "" : " ") + names[i] +
               (n > 1 ? "\xC3\x97" + std::to_string(n) : std::string());
        i += n;
    }
    return out;
}
bool destructive(const std::string& commands) {
    return commands.find("USD") != std::string::npos || commands.find("UCS") != std::string::npos;
}

// One row of the printed matrix.
struct Cell {
    std::string road, type, outcome, sent, asked, told;
};
std::vector<Cell>& matrix() {
    static std::vector<Cell> cells;
    return cells;
}

// The rules every cell must keep, whatever the road.
void expectSafe(const Cell& c, bool consent) {
    SCOPED_TRACE(c.road + " / " + c.type + " / " + c.outcome);
    if (c.type != "53") {
        EXPECT_EQ(c.sent, "") << "an instrument without entries got commands";
    }
    if (c.type == "53" && c.outcome != "free" && !consent) {
        EXPECT_FALSE(destructive(c.sent)) << c.sent;
    }
    matrix().push_back(c);
}

void preset(test::MeasureRig& rig, const Outcome& o, const std::string& type) {
    if (o.occupied && type == "53") {
        const ExchangeResult r = exchange(rig.port(), rig.clock,
                                          std::string_view("UCS,1,004,LAB 1,06.12.2026 05:28:35," +
                                                           std::string(kSerial) + "\r\n"),
                                          5);
        ASSERT_TRUE(r.ok());
    }
    if (*o.fault) rig.control(o.fault);
    rig.takeCommands();
}

sim::Options one(const std::string& type) {
    return test::oneInstrument(type, kSerial);
}

void fillPair(SharedState& state) {
    for (int a = 0; a < kAngleCount; ++a) {
        state.targetSpectrum[a].assign(34, 41.0);
        state.sampleSpectrum[a].assign(34, 40.0);
    }
    state.sampleSerial = kSerial;
}

std::string idsText(const std::vector<int>& ids) {
    std::string out;
    for (int id : ids) out += (out.empty() ? "" : " ") + std::to_string(id);
    return out;
}

// The write dialog's road: Write pressed on entry 4, the operator answering `answer`.
// `measured`: the pair was read here (a sample with its instrument's type), so the write also
// asks what the readings passed through, answered "none".
Cell desktopWrite(const std::string& type, const Outcome& o, Answer answer, bool measured = false) {
    test::SeriesRig rig(one(type));
    fillPair(rig.state);
    if (measured) rig.state.sampleType = "53";
    preset(rig, o, type);
    CoefficientWriteWorkflow w(rig.seams());
    rig.prompter.answers = {answer};
    rig.prompter.choices = {0};
    if (w.open()) {
        w.addRow({4, "004", o.occupied ? "LAB 1" : "", {}, {}, {}});
        w.listDone(false, {});
        w.select(0);
        w.setComment("NEW");
        w.write();
    }
    return {std::string(measured ? "desktop write (measured), " : "desktop write, ") +
                (answer == Answer::Yes ? "Yes" : "No"),
            type,
            o.name,
            entryCommands(rig.takeCommands()),
            idsText(rig.prompter.ids()),
            ""};
}

// The write dialog's Delete, confirmed in the deletion dialog (that dialog is the consent).
Cell desktopDelete(const std::string& type, const Outcome& o) {
    test::SeriesRig rig(one(type));
    fillPair(rig.state);
    preset(rig, o, type);
    CoefficientWriteWorkflow w(rig.seams());
    w.addRow({4, "004", "LAB 1", {}, {}, {}});
    w.select(0);
    if (w.beginDelete()) DeleteEntryWorkflow(rig.seams(), 4, "LAB 1").confirm();
    return {"desktop delete, confirmed", type, o.name, entryCommands(rig.takeCommands()),
            idsText(rig.prompter.ids()), ""};
}

TEST(EntrySafety, DesktopRoadsSendNothingDestructiveWithoutConsentAndNothingToType40) {
    for (const char* type : kTypes)
        for (const Outcome& o : kOutcomes) {
            const Cell no = desktopWrite(type, o, Answer::No);
            expectSafe(no, false);
            const Cell yes = desktopWrite(type, o, Answer::Yes);
            expectSafe(yes, true);
            expectSafe(desktopDelete(type, o), true);
            if (std::string(type) != "53") continue;
            // A free entry is written without a question; any other is asked about first.
            const bool free = std::string(o.name) == "free";
            EXPECT_EQ(no.asked.find("123") != std::string::npos, !free) << o.name << no.asked;
            if (free) {
                EXPECT_EQ(no.sent, "UCR UCS UCS UCS UCS") << o.name;
            }
            // Consent given: the entry is emptied first and written, unless the line is gone.
            if (!free && std::string(o.name) != "hang-up") {
                EXPECT_EQ(yes.sent, "UCR USD UCS UCS UCS UCS") << o.name;
            }
            // Factors from readings taken here: what they passed through is asked only after
            // the consent, and a refusal sends nothing.
            const Cell measuredNo = desktopWrite(type, o, Answer::No, true);
            expectSafe(measuredNo, false);
            const Cell measuredYes = desktopWrite(type, o, Answer::Yes, true);
            expectSafe(measuredYes, true);
            if (!free && std::string(o.name) != "hang-up") {
                EXPECT_EQ(measuredNo.asked, "123") << o.name;
                EXPECT_EQ(measuredYes.asked, "123 262 126") << o.name;
                EXPECT_EQ(measuredYes.sent, "UCR USD UCS UCS UCS UCS") << o.name;
            }
        }
}

// The command-line roads, without --yes.
struct CliCell {
    int exitCode;
    Cell cell;
};

std::string coefficientFile(const std::string& folder) {
    CoefficientRecord record;
    record.sampleSerial = kSerial;
    record.comment = "FROM FILE";
    for (int a = 0; a < kAngleCount; ++a) {
        record.target[a].assign(34, 41.0);
        record.sample[a].assign(35, 40.0);
        record.coefficients[a].assign(32, 1.0);
    }
    const std::string file = folder + "/coefficients.csv";
    std::ofstream(file, std::ios::binary) << formatRecordFile(record, test::projectStrings(), {});
    return file;
}

CliCell cliRoad(const std::string& verb, const std::string& type, const Outcome& o,
                const QStringList& more) {
    const test::TempHome home;
    test::SimInstrument sim(one(type));
    if (o.occupied && type == "53") {
        test::SimLine line(sim.port());
        line.ask("UCS,1,004,LAB 1,06.12.2026 05:28:35," + std::string(kSerial) + "\r\n");
    }
    if (*o.fault) sim.control(o.fault);
    const std::size_t before = sim.received().size();
    QStringList args{QString::fromStdString(verb), "--port", QString::fromStdString(sim.port()),
                     "--entry", "4"};
    if (verb == "write-entry")
        args << "--comment"
             << "NEW"
             << "--from" << QString::fromStdString(coefficientFile(home.path()));
    const test::CliRun run = test::runCli(args << more);
    std::vector<std::string> received = sim.received();
    received.erase(received.begin(), received.begin() + static_cast<long>(before));
    std::string told = run.err;
    std::replace(told.begin(), told.end(), '\n', ' ');
    return {run.exitCode,
            {verb + (more.isEmpty() ? "" : " --yes"), type, o.name, entryCommands(received),
             "exit " + std::to_string(run.exitCode), told}};
}

TEST(EntrySafety, CommandLineRoadsRefuseWithoutYesAndNeverTouchType40) {
    for (const char* type : kTypes)
        for (const Outcome& o : kOutcomes) {
            // The outcome of the query matters only where a query may go out.
            if (std::string(type) != "53" && std::string(o.name) != "occupied") continue;
            for (const char* verb : {"write-entry", "delete-entry"}) {
                const CliCell c = cliRoad(verb, type, o, {});
                expectSafe(c.cell, false);
                const bool free = std::string(o.name) == "free";
                if (std::string(type) != "53") {
                    EXPECT_EQ(c.exitCode, 2) << verb << " " << type;
                    continue;
                }
                if (free) {
                    EXPECT_EQ(c.exitCode, 0) << verb << c.cell.told;
                } else if (std::string(o.name) == "occupied") {
                    EXPECT_EQ(c.exitCode, 1) << verb << c.cell.told;
                    EXPECT_NE(c.cell.told.find("holds \"LAB 1\""), std::string::npos)
                        << c.cell.told;
                } else if (std::string(o.name) != "hang-up") {
                    EXPECT_EQ(c.exitCode, 1) << verb << c.cell.told;
                    EXPECT_NE(c.cell.told.find("the state of entry 4 could not be read: "),
                              std::string::npos)
                        << c.cell.told;
                }
            }
        }
    // With --yes, an entry that cannot be read is written over as an occupied one.
    const CliCell yes = cliRoad("write-entry", "53", kOutcomes[2], {"--yes"});
    EXPECT_EQ(yes.exitCode, 0) << yes.cell.told;
    // The list stops at the entry that cannot be read; the entry's own query follows.
    EXPECT_EQ(yes.cell.sent,
              "UCR\xC3\x97"
              "2 USD UCS UCS UCS UCS");
    expectSafe(yes.cell, true);
}

// usercal: the check against a reference, then the write, on an instrument that reads 1 to 5 %
// high, so the check fails and a correction is due.
CliCell usercalRoad(const std::string& type, const Outcome& o) {
    const test::TempHome home;
    test::SimInstrument reference(one("53"));
    sim::Options drifted = test::oneInstrument(type, "L70S-200002");
    drifted.instruments.front().gain = {1.01, 1.03, 1.05};
    test::SimInstrument sim(drifted);
    if (o.occupied && type == "53") {
        test::SimLine line(sim.port());
        line.ask("UCS,1,004,LAB 1,06.12.2026 05:28:35,L70S-200002\r\n");
    }
    if (*o.fault) sim.control(o.fault);
    const std::size_t before = sim.received().size();
    const test::CliRun run = test::runCli(
        {"usercal", "--reference-port", QString::fromStdString(reference.port()), "--port",
         QString::fromStdString(sim.port()), "--entry", "4", "--comment", "NEW"});
    std::vector<std::string> received = sim.received();
    received.erase(received.begin(), received.begin() + static_cast<long>(before));
    std::string told = run.err;
    std::replace(told.begin(), told.end(), '\n', ' ');
    return {run.exitCode,
            {"usercal", type, o.name, entryCommands(received),
             "exit " + std::to_string(run.exitCode), told}};
}

TEST(EntrySafety, UsercalWritesOnlyAFreeEntryWithoutYes) {
    for (const char* type : kTypes)
        for (const Outcome& o : kOutcomes) {
            if (std::string(type) != "53" && std::string(o.name) != "occupied") continue;
            const CliCell c = usercalRoad(type, o);
            expectSafe(c.cell, false);
            if (std::string(type) == "53" && std::string(o.name) == "free") {
                EXPECT_EQ(c.exitCode, 0) << c.cell.told;
                EXPECT_EQ(c.cell.sent,
                          "UCR\xC3\x97"
                          "31 UCS UCS UCS UCS");
            } else {
                EXPECT_NE(c.exitCode, 0) << type << " " << o.name;
            }
        }
}

// Printed once at the end: the matrix as a table, for the record.
class PrintMatrix : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("%-28s %-12s %-11s %-26s %-10s %s\n", "road", "type", "entry query", "sent",
                    "asked", "told");
        for (const Cell& c : matrix())
            std::printf("%-28s %-12s %-11s %-26s %-10s %.90s\n", c.road.c_str(), c.type.c_str(),
                        c.outcome.c_str(), c.sent.empty() ? "-" : c.sent.c_str(),
                        c.asked.empty() ? "-" : c.asked.c_str(), c.told.c_str());
    }
};
const auto* const kPrinter = ::testing::AddGlobalTestEnvironment(new PrintMatrix);

}  // namespace
}  // namespace qv

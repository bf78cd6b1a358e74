// The fleet as a web page: its text escaped, its statuses in words and marks, the file replaced
// whole; and end to end, a logbook of two dozen instruments written by the program itself and
// opened in a real browser (Debian's headless Chromium), whose page holds the overview's rows
// in its order with their statuses, with nothing in the browser's console, and a screenshot
// left for review.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>
#include <ctime>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fleet_records.h"
#include "platform/log/sql_logbook.h"
#include "report/log/fleet_page.h"
#include "support/cli_run.h"
#include "support/pg_server.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::daysAgo;

CheckRecord check(RecordKind kind, const std::string& serial, int days, bool passed, double dE) {
    return test::fleetCheck(kind, serial, days, passed, {dE, dE + 0.1, dE + 0.2}, "lab-1");
}

TEST(FleetPage, TextFromTheLogbookIsEscapedAndBrokenTextReplaced) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"L70S-200002", "L70S-200002"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a&b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
        {"Prüfplatz 3", "Prüfplatz 3"},
        {std::string("bell\x07"), "bell\xEF\xBF\xBD"},
        {std::string("cut \xC3", 5), "cut \xEF\xBF\xBD"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(htmlText(in), out) << in;
}

// One instrument of each status and one without a trend, from hand-made records.
std::vector<InstrumentStatus> smallFleet(const CheckIntervals& intervals) {
    std::vector<InstrumentStatus> fleet;
    const LocalTime now = daysAgo(0);
    std::vector<CheckRecord> rising;
    for (int days : {1, 11, 21})
        rising.push_back(check(RecordKind::InterInstrument, "A", days, true, 0.4 - 0.01 * days));
    rising[1].angles[2].deltaE = NAN;  // an angle missing leaves its line shorter, not broken
    fleet.push_back(instrumentStatus("A<b>", rising, intervals, now, 90));
    fleet.push_back(instrumentStatus("B", {check(RecordKind::InterInstrument, "B", 25, true, 0.2)},
                                     intervals, now, 90));
    fleet.push_back(instrumentStatus("C", {check(RecordKind::InterInstrument, "C", 40, true, 0.2)},
                                     intervals, now, 90));
    fleet.push_back(instrumentStatus("D", {check(RecordKind::InterInstrument, "D", 2, false, 0.9)},
                                     intervals, now, 90));
    sortWorstFirst(fleet);
    return fleet;
}

TEST(FleetPage, EachStatusInWordsAndMarksEachTrendWithItsThreeAngles) {
    CheckIntervals intervals{};
    intervals[2] = {30, 7};
    FleetPageSource source{
        daysAgo(0), 60, "postgresql://ws_1@db/qv_logbook", true, intervals, 90, "qvl70s-cli test"};
    const std::string page = fleetPageHtml(smallFleet(intervals), source);
    for (const char* row :
         {"data-serial=\"D\" data-status=\"failed\"", "data-serial=\"C\" data-status=\"overdue\"",
          "data-serial=\"B\" data-status=\"due-soon\"",
          "data-serial=\"A&lt;b&gt;\" data-status=\"ok\""})
        EXPECT_NE(page.find(row), std::string::npos) << row;
    EXPECT_LT(page.find("data-serial=\"D\""), page.find("data-serial=\"C\""));
    for (const char* word : {">FAILED</td>", ">OVERDUE</td>", ">due soon</td>", ">ok</td>"})
        EXPECT_NE(page.find(word), std::string::npos) << word;
    // Told apart in grey print by more than hue: each status has a mark of its own.
    for (const char* mark : {".st-due-soon { background: #fbe3a4; font-style: italic; outline",
                             "font-weight: bold; outline: 2px solid", "outline: 4px double"})
        EXPECT_NE(page.find(mark), std::string::npos) << mark;
    EXPECT_NE(page.find("(UTC+01:00)"), std::string::npos);
    EXPECT_NE(page.find("postgresql://ws_1@db/qv_logbook</code>: the server could not be"),
              std::string::npos);
    EXPECT_NE(page.find("inter-instrument every 30 days (due soon 7 days before)"),
              std::string::npos);
    // A's trend: three lines told apart by dashes, 75 degrees through two of three checks.
    EXPECT_NE(page.find("stroke-dasharray=\"none\" points=\"46.0,"), std::string::npos);
    EXPECT_NE(page.find("stroke-dasharray=\"7 4\" points=\""), std::string::npos);
    const auto at75 = page.find("<g class=\"angle-75\"");
    ASSERT_NE(at75, std::string::npos);
    const auto points75 = page.find("points=\"", at75);
    EXPECT_EQ(std::count(page.begin() + long(points75),
                         page.begin() + long(page.find("\"/>", points75)), ','),
              2);
    EXPECT_NE(page.find("+0.300 &plusmn; 0.000"), std::string::npos);  // 0.01 a day
    EXPECT_NE(page.find("No trend: fewer than three"), std::string::npos);
    // Nothing to run and nothing to fetch.
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_NE(page.find("content=\"default-src 'none'; style-src 'unsafe-inline'; img-src "
                        "data:\""),
              std::string::npos);
}

// Whatever a logbook holds, the trend stays inside its picture: no coordinate that is not a
// number, none outside the drawing, even for times out of order.
TEST(FleetPage, OutlandishDifferencesAndTimesStayInsideTheTrend) {
    InstrumentStatus i;
    i.serial = "X";
    i.drift.source = RecordKind::InterInstrument;
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [time, dE] : std::vector<std::pair<LocalTime, std::array<double, 3>>>{
             {LocalTime{}, {1e300, -5, NAN}},
             {LocalTime{9999, 12, 31, 23, 59, 59}, {0.1, 0.2, 1e-300}},
             {daysAgo(3), {inf, -inf, 0.2}}})
        i.drift.points.push_back({time, dE});
    const std::string page = fleetPageHtml({i}, {});
    const std::string svg = page.substr(page.find("<svg"), page.find("</svg>") - page.find("<svg"));
    for (const char* bad : {"nan", "inf", "e+"}) EXPECT_EQ(svg.find(bad), std::string::npos) << bad;
    static const std::regex coordinate(R"re(\b(?:x|y|cx|cy|x1|x2|y1|y2)="(-?[0-9.]+)")re");
    int seen = 0;
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), coordinate);
         m != std::sregex_iterator(); ++m, ++seen) {
        const double v = std::stod((*m)[1].str());
        EXPECT_GE(v, 0.0) << (*m)[0].str();
        EXPECT_LE(v, 430.0) << (*m)[0].str();
    }
    EXPECT_GT(seen, 10);
}

TEST(FleetPage, WrittenWholeOverThePageBeforeAndReadableByTheWebServer) {
    const test::TempHome home;
    const std::string path = home.path() + "/index.html";
    ASSERT_EQ(writeFleetPage(path, "first"), "");
    ASSERT_EQ(writeFleetPage(path, "second page"), "");
    QFile page(QString::fromStdString(path));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), "second page");
    EXPECT_TRUE(page.permissions() & QFileDevice::ReadOther);
    EXPECT_EQ(QDir(QString::fromStdString(home.path())).entryList(QDir::Files).size(), 1);
    EXPECT_NE(writeFleetPage(home.path() + "/no/index.html", "x").find("does not exist"),
              std::string::npos);
    EXPECT_NE(writeFleetPage(home.path(), "x").find("is a folder"), std::string::npos);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

LogbookLocation as(const test::PgServer& server, const std::string& user,
                   const std::string& password) {
    return locationFromUri(server.uri(user, password, "qv_logbook"), nullptr).value();
}

// As the example service runs it: the program itself, on the lab's server set up by the script
// as shipped, logged in as an auditor, who may only read. The password it was given never
// reaches the page; with the server away the page says whose records it shows.
TEST(FleetPage, FromTheLabsServerAsTheAuditorWithoutThePassword) {
    const test::TempHome home;
    test::PgServer server;
    std::string error;
    ASSERT_TRUE(server.sql(readAll(QV_SOURCE_DIR "/docs/fleet-logbook.sql"), &error)) << error;
    ASSERT_TRUE(
        server.sql("ALTER ROLE qv_owner PASSWORD 'owner-pw';\n"
                   "ALTER ROLE ws_plant1 PASSWORD 'plant1-pw';\n"
                   "ALTER ROLE audit_quality PASSWORD 'audit-secret';",
                   &error))
        << error;
    ASSERT_TRUE(SqlLogbook(as(server, "qv_owner", "owner-pw")).isOpen());
    {
        SqlLogbook plant1(as(server, "ws_plant1", "plant1-pw"));
        for (int days : {20, 10, 1})
            plant1.record(check(RecordKind::InterInstrument, "L70S-200002", days, true, 0.1));
        plant1.record(check(RecordKind::InterInstrument, "L70S-200003", 40, true, 0.1));
        ASSERT_TRUE(plant1.setCheckInterval(CheckKind::InterInstrument, {30, 7}, error)) << error;
    }
    qputenv("QV_LOGBOOK",
            QByteArray::fromStdString(server.uri("audit_quality", "audit-secret", "qv_logbook")));
    const std::string path = home.path() + "/index.html";
    const test::CliRun run = test::runCliProcess({"fleet", "--html", QString::fromStdString(path)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::string page = readAll(path);
    EXPECT_NE(page.find("data-serial=\"L70S-200003\" data-status=\"overdue\""), std::string::npos);
    EXPECT_NE(page.find("<polyline"), std::string::npos);
    EXPECT_NE(page.find("postgresql://audit_quality@127.0.0.1:"), std::string::npos);
    EXPECT_EQ(page.find("audit-secret"), std::string::npos);
    EXPECT_EQ(page.find("could not be reached"), std::string::npos);

    server.stop();
    EXPECT_EQ(test::runCliProcess({"fleet", "--html", QString::fromStdString(path)}).exitCode, 0);
    page = readAll(path);
    EXPECT_NE(page.find("the server could not be reached, so this is this workstation's own "
                        "records only"),
              std::string::npos);
    EXPECT_NE(page.find("0 instruments"), std::string::npos);
    qunsetenv("QV_LOGBOOK");
}

}  // namespace
}  // namespace qv

// qvl70s-cli colour lab / diff in process, on real files and on standard input.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "support/cli_run.h"

namespace {

using qv::test::CliRun;
using qv::test::runCli;

QByteArray spectrumRow(const char* id, double from, double step) {
    QByteArray row(id);
    for (int j = 0; j < 31; ++j) row += ';' + QByteArray::number(from + step * j, 'f', 1);
    return row + '\n';
}

TEST(ColourCli, LabConvertsAFileAndRefusesABadRowByLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("spectra.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "id;400;410;420;430;440;450;460;470;480;490;500;510;520;530;540;550;560;570;580;"
        "590;600;610;620;630;640;650;660;670;680;690;700\n");
    file.write(spectrumRow("ramp", 5.0, 3.0));
    file.write(spectrumRow("white", 100.0, 0.0));
    file.close();

    CliRun ok = runCli({"colour", "lab", path});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, "ramp\t76.2723\t9.4625\t40.7150\nwhite\t100.0000\t0.0000\t0.0000\n");
    EXPECT_EQ(ok.err, "");

    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("short;1;2;3\n");
    file.write(spectrumRow("grey", 18.0, 0.0));
    file.close();
    CliRun bad = runCli({"colour", "lab", path});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out,
              "ramp\t76.2723\t9.4625\t40.7150\nwhite\t100.0000\t0.0000\t0.0000\n"
              "grey\t49.4961\t0.0000\t0.0000\n");
    EXPECT_NE(bad.err.find("line 4:"), std::string::npos) << bad.err;

    CliRun missing = runCli({"colour", "lab", dir.filePath(QStringLiteral("none.csv"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
}

TEST(ColourCli, DiffReadsStandardInputWithTheChosenFormula) {
    const QByteArray pairs =
        "L1 a1 b1 L2 a2 b2\n"
        "50.0000 -0.0010 2.4900 50.0000 0.0010 -2.4900\n"
        "50.0000 2.5000 0.0000 73.0000 25.0000 -18.0000\n";
    CliRun de00 = runCli({"colour", "diff", "--formula", "de00", "-"}, pairs);
    EXPECT_EQ(de00.exitCode, 0) << de00.err;
    EXPECT_EQ(de00.out, "4.8045\n27.1492\n");
    CliRun de76 = runCli({"colour", "diff"}, "50 0 0 53 4 0\n");
    EXPECT_EQ(de76.out, "5.0000\n");
    // CIE94 on Lindbloom's blue-against-red example (see the difference tests).
    CliRun de94 =
        runCli({"colour", "diff", "--formula=de94"},
               "32.29700944,79.1875174,-107.86016289,53.24078887,80.09249429,67.2031914\n");
    EXPECT_EQ(de94.out, "61.2421\n");

    CliRun bad = runCli({"colour", "diff", "--formula", "cmc"}, "50 0 0 53 4 0\n50 0 0 53 x 0\n");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "6.8488\n");
    EXPECT_NE(bad.err.find("line 2: field 5 'x'"), std::string::npos) << bad.err;

    CliRun empty = runCli({"colour", "diff"}, "");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("no data rows"), std::string::npos) << empty.err;
}

TEST(ColourCli, UsageErrorsAndHelp) {
    CliRun unknown = runCli({"colour", "diff", "--formula", "de2000"}, "50 0 0 53 4 0\n");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(runCli({"colour", "hue"}).exitCode, 2);
    EXPECT_EQ(runCli({"colour", "lab", "a", "b"}).exitCode, 2);
    EXPECT_EQ(runCli({"colour", "lab", "--bogus"}).exitCode, 2);
    CliRun help = runCli({"colour", "diff", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("qvl70s-cli colour diff"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--formula"), std::string::npos) << help.out;
    EXPECT_EQ(runCli({"colour", "--help"}).exitCode, 0);
}

}  // namespace

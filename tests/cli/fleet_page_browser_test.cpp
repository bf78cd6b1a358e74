// The fleet page end to end in a real browser: a workstation's logbook of two dozen instruments
// of every status (one serial and one workstation name out to inject markup), the page written
// by qvl70s-cli itself, then opened by Debian's headless Chromium offline in a profile of its
// own. The rows the browser builds must be the overview's, in its order, with its statuses in
// words; the console must stay empty (the page's policy makes the browser log any script or
// fetch it refuses there, which a spoilt copy of the page shows it does); and a screenshot is
// left in the build folder's screenshots for review.
#include <gtest/gtest.h>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>
#include <ctime>
#include <iostream>

#include "fleet_records.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/temp_home.h"

namespace qv {
namespace {

// scripts/install-deps installs it: a machine without it fails here rather than passing blind.
const QString kBrowser = QStringLiteral("/usr/bin/chromium-headless-shell");
constexpr int kInstruments = 24;
const std::string kHostileSerial = "<script>alert(1)</script>";

CheckRecord check(RecordKind kind, const std::string& serial, int days, bool passed, double dE,
                  const std::string& workstation) {
    return test::fleetCheck(kind, serial, days, passed, {dE, dE * 1.4, dE * 1.8}, workstation,
                            serial == kHostileSerial ? "<b>40</b>" : "53");
}

// By n % 4: ok with a rising trend, due soon, overdue (calibrated days ago), failed; every
// sixth with a diagnosed tile set; every fifth without a trend.
void recordInstrument(Logbook& log, int n) {
    const std::string serial = n == 5 ? kHostileSerial : "L70S-3" + std::to_string(10000 + n);
    const std::string ws =
        n % 3 == 0 ? "<img src=x onerror=alert(2)>" : "lab-" + std::to_string(n % 3);
    const double base = 0.05 + 0.01 * n;
    log.record(check(RecordKind::Calibration, serial, n % 4 == 2 ? 3 : 0, true, NAN, ws));
    const int last = n % 4 == 1 ? 26 : 2;
    if (n % 5 != 0)
        for (int days : {last + 20, last + 10})
            log.record(check(RecordKind::InterInstrument, serial, days, true,
                             base + 0.002 * (40 - days), ws));
    log.record(check(RecordKind::InterInstrument, serial, last, n % 4 != 3,
                     n % 4 == 3 ? 0.9 : base + 0.002 * (40 - last), ws));
    if (n % 6 == 0) {
        DiagnosisRecord diagnosis;
        for (AngleDiagnosisRecord& g : diagnosis) g.decision = "write-factors";
        CheckRecord set = check(RecordKind::TileSet, serial, 4, true, base, ws);
        set.diagnosis = diagnosis;
        log.record(set);
    }
}

struct BrowserRun {
    bool finished = false;
    QString out;
    QStringList console;  // the page's console messages, as the browser logs them
};

// One run of the browser on `file`, offline, in the profile folder `profile`.
BrowserRun openInBrowser(const QString& file, const QString& profile, QStringList what) {
    QProcess p;
    what << QStringLiteral("--headless") << QStringLiteral("--no-sandbox")
         << QStringLiteral("--disable-gpu") << QStringLiteral("--user-data-dir=") + profile
         << QStringLiteral("--no-first-run") << QStringLiteral("--no-default-browser-check")
         << QStringLiteral("--disable-background-networking")
         << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
         << QStringLiteral("--disable-extensions") << QStringLiteral("--enable-logging=stderr")
         << QStringLiteral("--v=0") << QStringLiteral("file://") + file;
    p.start(kBrowser, what);
    BrowserRun run;
    if (!p.waitForStarted(10000)) return run;
    if (!p.waitForFinished(90000)) {
        p.kill();
        p.waitForFinished(5000);
        return run;
    }
    run.finished = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : QString::fromUtf8(p.readAllStandardError()).split('\n'))
        if (line.contains(QStringLiteral(":CONSOLE"))) run.console << line;
    return run;
}

QString attributeText(QString s) {
    return s.replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

QString statusWord(const QString& status) {
    if (status == QLatin1String("due-soon")) return QStringLiteral("due soon");
    return status == QLatin1String("ok") ? status : status.toUpper();
}

// The rows of the table the browser built, against the overview the fleet verb gives as JSON.
void expectRowsOf(const QString& dom, const QJsonArray& instruments) {
    static const QRegularExpression row(QStringLiteral(
        "<tr data-serial=\"([^\"]*)\" data-status=\"([^\"]*)\">.*?class=\"status st-([a-z-]+)\">"
        "([^<]*)</td>"));
    int n = 0;
    for (auto m = row.globalMatch(dom); m.hasNext(); ++n) {
        const QRegularExpressionMatch r = m.next();
        ASSERT_LT(n, instruments.size()) << r.captured(0).toStdString();
        const QJsonObject want = instruments[n].toObject();
        EXPECT_EQ(attributeText(r.captured(1)), want["serial"].toString()) << n;
        EXPECT_EQ(r.captured(2), want["status"].toString()) << n;
        EXPECT_EQ(r.captured(3), want["status"].toString()) << n;
        EXPECT_EQ(r.captured(4), statusWord(want["status"].toString())) << n;
    }
    EXPECT_EQ(n, instruments.size());
}

// How many pixels of the screenshot are of `colour`: the styles were applied, not just text.
int pixelsOf(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) count += image.pixelColor(x, y) == colour;
    return count;
}

void takeScreenshot(const QString& page, const QString& profile) {
    const QString shot = QStringLiteral(QV_SCREENSHOT_DIR "/fleet_page.png");
    QFile::remove(shot);
    const BrowserRun run = openInBrowser(
        page, profile,
        {QStringLiteral("--screenshot=") + shot, QStringLiteral("--window-size=1500,3400"),
         QStringLiteral("--hide-scrollbars")});
    ASSERT_TRUE(run.finished);
    const QImage image(shot);
    ASSERT_FALSE(image.isNull()) << shot.toStdString();
    std::cout << "The page as the browser drew it: " << shot.toStdString() << "\n";
    EXPECT_EQ(image.width(), 1500);
    EXPECT_GT(pixelsOf(image, QColor(0x8c, 0x10, 0x20)), 1000);  // the failed rows' status
    EXPECT_GT(pixelsOf(image, QColor(0x1f, 0x5a, 0xb4)), 100);   // the 25 degree lines
}

TEST(FleetPageBrowser, TwoDozenInstrumentsOpenInChromiumWithTheirRowsAndNoConsoleMessage) {
    ASSERT_TRUE(QFileInfo(kBrowser).isExecutable())
        << kBrowser.toStdString() << " is missing: scripts/install-deps installs it";
    const test::TempHome home;
    {
        SqlLogbook log(logbookPath());
        ASSERT_TRUE(log.isOpen());
        for (int n = 0; n < kInstruments; ++n) recordInstrument(log, n);
    }
    ASSERT_EQ(test::runCli({"fleet", "intervals", "--set", "calibration=1", "--set",
                            "inter-instrument=30,lead=7"})
                  .exitCode,
              0);
    const QString page = QString::fromStdString(home.path()) + QStringLiteral("/www/index.html");
    EXPECT_EQ(test::runCliProcess({"fleet", "--html", page}).exitCode, 2);  // no folder yet
    ASSERT_TRUE(QDir().mkpath(QFileInfo(page).absolutePath()));
    const test::CliRun written = test::runCliProcess({"fleet", "--html", page});
    ASSERT_EQ(written.exitCode, 0) << written.err;  // written, though instruments failed
    EXPECT_EQ(written.out, page.toStdString() + "\n");
    const QJsonArray instruments =
        QJsonDocument::fromJson(QByteArray::fromStdString(test::runCli({"fleet", "--json"}).out))
            .object()["instruments"]
            .toArray();
    ASSERT_EQ(instruments.size(), kInstruments);

    const QString profile = QString::fromStdString(home.path()) + QStringLiteral("/browser");
    const BrowserRun run = openInBrowser(page, profile, {QStringLiteral("--dump-dom")});
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.console.isEmpty()) << run.console.join('\n').toStdString();
    expectRowsOf(run.out, instruments);
    EXPECT_FALSE(run.out.contains(QStringLiteral("<script")));
    EXPECT_TRUE(run.out.contains(QStringLiteral(">&lt;script&gt;alert(1)&lt;/script&gt;</a>")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("<img")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("<b>")));
    EXPECT_EQ(run.out.count(QStringLiteral("<section class=\"trend\"")), kInstruments);
    int trends = 0;
    for (const QJsonValue& i : instruments) trends += !i["driftFrom"].isNull();
    EXPECT_EQ(run.out.count(QStringLiteral("<svg")), trends);
    EXPECT_GE(trends, 12);
    takeScreenshot(page, profile);

    // The console is where a refused script or fetch shows: a copy spoilt with both shows it.
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString spoilt = QString::fromUtf8(file.readAll());
    spoilt.replace(QStringLiteral("</body>"),
                   QStringLiteral("<script>document.title='x'</script><img src=\"x.png\"></body>"));
    const QString spoiltPath = QString::fromStdString(home.path()) + QStringLiteral("/spoilt.html");
    QFile out(spoiltPath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(spoilt.toUtf8());
    out.close();
    EXPECT_EQ(openInBrowser(spoiltPath, profile, {QStringLiteral("--dump-dom")}).console.size(), 2);
}

}  // namespace
}  // namespace qv

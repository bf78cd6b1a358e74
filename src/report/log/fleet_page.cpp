#include "report/log/fleet_page.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "platform/app/atomic_file_store.h"

namespace qv {

namespace {

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return "---";
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

std::string signedFixed(double value, int decimals) {
    return (std::isfinite(value) && value >= 0 ? "+" : "") + fixed(value, decimals);
}

// In words, capitals for what holds an instrument back, as the fleet window has them.
std::string statusWords(FleetStatus status) {
    switch (status) {
        case FleetStatus::Ok:
            return "ok";
        case FleetStatus::DueSoon:
            return "due soon";
        case FleetStatus::Overdue:
            return "OVERDUE";
        case FleetStatus::Failed:
            break;
    }
    return "FAILED";
}

std::string statusClass(FleetStatus status) {
    return "st-" + std::string(fleetStatusName(status));
}

std::string offsetText(const std::optional<int>& minutes) {
    if (!minutes) return "local time";
    const int m = std::abs(*minutes);
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "UTC%c%02d:%02d", *minutes < 0 ? '-' : '+', m / 60,
                  m % 60);
    return text.data();
}

// Grey print keeps what colour says: the four statuses step down in lightness from ok to
// failed, and each has a mark of its own besides (italic and a dashed frame, bold and a solid
// frame, white capitals on dark in a double frame). The angles' lines differ in dashes and
// markers as well as in colour.
constexpr const char* kStyle = R"CSS(
body { font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 13px;
       color: #111; background: #fff; margin: 16px; }
h1 { font-size: 20px; margin: 0 0 4px 0; }
h2 { font-size: 16px; margin: 18px 0 6px 0; }
p.made, p.note { margin: 2px 0; }
table { border-collapse: collapse; }
th, td { border: 1px solid #999; padding: 3px 5px; vertical-align: top; text-align: left; }
th { background: #eee; }
td.num { white-space: nowrap; font-variant-numeric: tabular-nums; }
.st-ok { background: #eaf5ea; }
.st-due-soon { background: #fbe3a4; font-style: italic; outline: 2px dashed #6b5200;
               outline-offset: -3px; }
.st-overdue { background: #e0904a; font-weight: bold; outline: 2px solid #402000;
              outline-offset: -3px; }
.st-failed { background: #8c1020; color: #fff; font-weight: bold; outline: 4px double #fff;
             outline-offset: -5px; }
td.status { white-space: nowrap; }
.st-failed a { color: #fff; }
ul.legend { list-style: none; padding: 0; margin: 4px 0; }
ul.legend li { margin-right: 6px; }
.badge, ul.legend li { display: inline-block; padding: 4px 9px; }
div.trends { display: flex; flex-wrap: wrap; gap: 10px; align-items: flex-start; }
section.trend { border: 1px solid #999; padding: 4px 6px; width: 440px; break-inside: avoid; }
section.trend h3 { font-size: 14px; margin: 2px 0; }
section.trend p { margin: 2px 0; font-size: 12px; }
@media print {
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  body { margin: 0; font-size: 9pt; }
  a { color: inherit; text-decoration: none; }
}
)CSS";

std::string headHtml(const std::vector<InstrumentStatus>& fleet) {
    // Nothing may be fetched: the policy refuses any script, font, picture or style sheet from
    // anywhere (a browser says so in its console), and the empty icon keeps it from asking for
    // one.
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'; img-src data:\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<link rel=\"icon\" href=\"data:,\">\n<title>QV-L70s fleet: " +
           std::to_string(fleet.size()) + " instruments</title>\n<style>" + kStyle +
           "</style>\n</head>\n";
}

std::string intervalsText(const CheckIntervals& intervals) {
    std::string out;
    for (CheckKind kind : kCheckKinds) {
        const CheckInterval& c = intervalOf(intervals, kind);
        if (!c.days) continue;
        out += (out.empty() ? "" : ", ") + std::string(checkKindName(kind)) + " every " +
               (*c.days == 1 ? std::string("day") : std::to_string(*c.days) + " days") +
               (c.leadDays > 0 ? " (due soon " + std::to_string(c.leadDays) + " days before)"
                               : std::string());
    }
    return out.empty() ? "none is in force yet, so no instrument is held back by a date" : out;
}

std::string summaryHtml(const std::vector<InstrumentStatus>& fleet, const FleetPageSource& s) {
    std::array<int, 4> counts{};
    for (const InstrumentStatus& i : fleet) ++counts[static_cast<std::size_t>(i.status)];
    std::string out = "<h1>The lab's fleet at a glance</h1>\n<p class=\"made\">Made <time>" +
                      htmlText(logbookTime(s.made)) + "</time> (" + offsetText(s.utcOffsetMinutes) +
                      ") by " + htmlText(s.program) + " from the logbook <code>" +
                      htmlText(s.logbook) + "</code>";
    out += s.serverAway ? ": the server could not be reached, so this is this workstation's own "
                          "records only.</p>\n"
                        : ".</p>\n";
    out += "<p class=\"note\">" + std::to_string(fleet.size()) +
           " instruments: " + std::to_string(counts[3]) + " failed, " + std::to_string(counts[2]) +
           " overdue, " + std::to_string(counts[1]) + " due soon, " + std::to_string(counts[0]) +
           " ok, worst first.</p>\n<p class=\"note\">Check intervals: " +
           htmlText(intervalsText(s.intervals)) + ".</p>\n<ul class=\"legend\">";
    for (FleetStatus st :
         {FleetStatus::Ok, FleetStatus::DueSoon, FleetStatus::Overdue, FleetStatus::Failed})
        out += "<li class=\"" + statusClass(st) + "\">" + statusWords(st) + "</li>";
    return out + "</ul>\n";
}

std::string kindCell(const KindStatus& k, const CheckInterval& interval) {
    const bool marked = interval.days && k.status != FleetStatus::Ok;
    std::string out =
        marked ? "<td class=\"num " + statusClass(k.status) + "\">" : "<td class=\"num\">";
    if (!k.last) {
        out += "never";
    } else {
        out += htmlText(calendarDate(k.last->time));
        out += !k.last->passed ? "" : (*k.last->passed ? " passed" : " FAILED");
    }
    if (!interval.days)
        out += "<br>no interval";
    else if (k.dueDay)
        out += "<br>due " + calendarDate(civilFromDays(*k.dueDay));
    // A failed check says so in its verdict already.
    if (marked && k.status != FleetStatus::Failed) out += "<br>" + statusWords(k.status);
    return out + "</td>";
}

std::string driftCell(const Drift& drift) {
    if (!drift.source) return "<td>fewer than 3 checks</td>";
    std::string out = "<td class=\"num\">";
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDrift& d = drift.angles[a];
        out += std::to_string(kAngleDegrees[a]) + "&deg; " +
               (std::isnan(d.slope)
                    ? std::string("---")
                    : signedFixed(d.slope, 3) + " &plusmn; " + fixed(d.standardError, 3)) +
               "<br>";
    }
    return out + "from " + std::string(kindName(*drift.source)) + "</td>";
}

std::string textList(const std::vector<std::string>& texts, const std::string& empty) {
    std::string out;
    for (const std::string& t : texts)
        out += (out.empty() ? "" : ", ") + (t.empty() ? std::string("(not named)") : htmlText(t));
    return out.empty() ? empty : out;
}

std::string rowHtml(const InstrumentStatus& i, std::size_t index, const FleetPageSource& s) {
    const std::string st = std::string(fleetStatusName(i.status));
    std::string out = "<tr data-serial=\"" + htmlText(i.serial) + "\" data-status=\"" + st +
                      "\"><td><a href=\"#trend-" + std::to_string(index) + "\">" +
                      htmlText(i.serial) + "</a></td><td>" +
                      (i.type.empty() ? std::string("---") : htmlText(i.type)) +
                      "</td><td class=\"status " + statusClass(i.status) + "\">" +
                      statusWords(i.status) + "</td>";
    for (const KindStatus& k : i.checks) out += kindCell(k, intervalOf(s.intervals, k.kind));
    out += driftCell(i.drift) + "<td>";
    if (i.diagnosis) {
        for (int a = 0; a < kAngleCount; ++a)
            out +=
                std::to_string(kAngleDegrees[a]) + "&deg; " + htmlText((*i.diagnosis)[a]) + "<br>";
    } else {
        out += "---";
    }
    return out + "</td><td>" + textList(i.workstations, "---") + "</td></tr>\n";
}

std::string tableHtml(const std::vector<InstrumentStatus>& fleet, const FleetPageSource& s) {
    std::string out =
        "<h2>Instruments, worst first</h2>\n<table id=\"fleet\">\n<thead><tr><th>Instrument</th>"
        "<th>Type</th><th>Status</th>";
    for (CheckKind kind : kCheckKinds)
        out += "<th>" + std::string(checkKindName(kind)) + "<br>last, verdict, due</th>";
    out +=
        "<th>Drift, dE per 30 days<br>(slope &plusmn; standard error)</th><th>Newest tile "
        "set's diagnosis</th><th>Workstations</th></tr></thead>\n<tbody>\n";
    for (std::size_t n = 0; n < fleet.size(); ++n) out += rowHtml(fleet[n], n, s);
    if (fleet.empty())
        out += "<tr><td colspan=\"" + std::to_string(6 + kCheckKindCount) +
               "\">The logbook holds no instruments yet.</td></tr>\n";
    return out + "</tbody>\n</table>\n";
}

// The trend's frame: the plot area in the picture's units, its days and colour differences.
struct TrendScale {
    static constexpr double kLeft = 46, kRight = 340, kTop = 24, kBottom = 140;
    double firstDay = 0, lastDay = 0, top = 0.1;

    double x(double day) const {
        if (lastDay - firstDay < 1e-9) return (kLeft + kRight) / 2;
        return kLeft + (day - firstDay) / (lastDay - firstDay) * (kRight - kLeft);
    }
    double y(double dE) const {
        return kBottom - std::clamp(dE, 0.0, top) / top * (kBottom - kTop);
    }
};

double dayNumber(const LocalTime& t) {
    return static_cast<double>(daysFromCivil(t)) +
           (std::max(t.hour, 0) * 3600.0 + std::max(t.minute, 0) * 60.0 + std::max(t.second, 0)) /
               86400.0;
}

// The next of 1, 2, 2.5, 5 times a power of ten at or above `v`, so the axis reads in round
// numbers.
double roundUp(double v) {
    v = std::max(v, 0.1);
    const double power = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= v * (1 - 1e-9)) return m * power;
    return 10.0 * power;
}

// A colour difference beyond this is no drift to look at: it is drawn at the top.
constexpr double kMostDeltaE = 100.0;

TrendScale scaleOf(const std::vector<DriftPoint>& points) {
    TrendScale s;
    s.firstDay = s.lastDay = dayNumber(points.front().time);
    double most = 0.0;
    for (const DriftPoint& p : points) {
        s.firstDay = std::min(s.firstDay, dayNumber(p.time));
        s.lastDay = std::max(s.lastDay, dayNumber(p.time));
        for (double dE : p.deltaE)
            if (std::isfinite(dE)) most = std::max(most, dE);
    }
    s.top = roundUp(std::min(most, kMostDeltaE));
    return s;
}

struct AngleLook {
    const char* colour;
    const char* dashes;
    const char* marker;  // circle, square, diamond
};
constexpr std::array<AngleLook, kAngleCount> kAngleLooks = {
    {{"#1f5ab4", "none", "circle"}, {"#e17314", "7 4", "square"}, {"#289646", "2 3", "diamond"}}};

std::string markerSvg(const AngleLook& look, double x, double y) {
    if (std::string(look.marker) == "circle")
        return "<circle cx=\"" + fixed(x, 1) + "\" cy=\"" + fixed(y, 1) + "\" r=\"2.6\"/>";
    if (std::string(look.marker) == "square")
        return "<rect x=\"" + fixed(x - 2.4, 1) + "\" y=\"" + fixed(y - 2.4, 1) +
               "\" width=\"4.8\" height=\"4.8\"/>";
    return "<polygon points=\"" + fixed(x, 1) + "," + fixed(y - 3.2, 1) + " " + fixed(x + 3.2, 1) +
           "," + fixed(y, 1) + " " + fixed(x, 1) + "," + fixed(y + 3.2, 1) + " " +
           fixed(x - 3.2, 1) + "," + fixed(y, 1) + "\"/>";
}

constexpr std::size_t kMostMarkers = 60;

std::string seriesSvg(const std::vector<DriftPoint>& points, int angle, const TrendScale& s) {
    const AngleLook& look = kAngleLooks[static_cast<std::size_t>(angle)];
    std::string line, markers;
    for (const DriftPoint& p : points) {
        const double dE = p.deltaE[static_cast<std::size_t>(angle)];
        if (!std::isfinite(dE)) continue;
        const double x = s.x(dayNumber(p.time)), y = s.y(dE);
        line += fixed(x, 1) + "," + fixed(y, 1) + " ";
        // Beyond a few dozen checks the markers only blot the line out; the dashes still tell
        // the angles apart.
        if (points.size() <= kMostMarkers) markers += markerSvg(look, x, y);
    }
    if (line.empty()) return {};
    return "<g class=\"angle-" + std::to_string(kAngleDegrees[angle]) + "\" stroke=\"" +
           look.colour + "\" fill=\"" + look.colour + "\"><polyline fill=\"none\" " +
           "stroke-width=\"1.8\" stroke-dasharray=\"" + look.dashes + "\" points=\"" + line +
           "\"/>" + markers + "</g>";
}

std::string axesSvg(const std::vector<DriftPoint>& points, const TrendScale& s) {
    using S = TrendScale;
    std::string out = "<g stroke=\"#444\" stroke-width=\"1\"><line x1=\"" + fixed(S::kLeft, 0) +
                      "\" y1=\"" + fixed(S::kTop, 0) + "\" x2=\"" + fixed(S::kLeft, 0) +
                      "\" y2=\"" + fixed(S::kBottom, 0) + "\"/><line x1=\"" + fixed(S::kLeft, 0) +
                      "\" y1=\"" + fixed(S::kBottom, 0) + "\" x2=\"" + fixed(S::kRight, 0) +
                      "\" y2=\"" + fixed(S::kBottom, 0) + "\"/></g>";
    out += "<g font-size=\"10\" fill=\"#111\" text-anchor=\"end\">";
    for (double f : {0.0, 0.5, 1.0})
        out += "<text x=\"" + fixed(S::kLeft - 4, 0) + "\" y=\"" + fixed(s.y(f * s.top) + 3, 1) +
               "\">" + fixed(f * s.top, s.top < 1 ? 2 : 1) + "</text>";
    out += "<text x=\"" + fixed(S::kLeft - 4, 0) + "\" y=\"11\">dE</text></g>";
    out += "<g font-size=\"10\" fill=\"#111\"><text x=\"" + fixed(S::kLeft, 0) + "\" y=\"" +
           fixed(S::kBottom + 14, 0) + "\">" + calendarDate(points.front().time) +
           "</text><text x=\"" + fixed(S::kRight, 0) + "\" y=\"" + fixed(S::kBottom + 14, 0) +
           "\" text-anchor=\"end\">" + calendarDate(points.back().time) + "</text></g>";
    return out;
}

std::string legendSvg() {
    std::string out = "<g font-size=\"11\" fill=\"#111\">";
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleLook& look = kAngleLooks[static_cast<std::size_t>(a)];
        const double y = 24.0 + 18.0 * a;
        out += "<g stroke=\"" + std::string(look.colour) + "\" fill=\"" + look.colour +
               "\"><line x1=\"352\" y1=\"" + fixed(y, 0) + "\" x2=\"382\" y2=\"" + fixed(y, 0) +
               "\" stroke-width=\"1.8\" stroke-dasharray=\"" + look.dashes + "\"/>" +
               markerSvg(look, 367, y) + "</g><text x=\"388\" y=\"" + fixed(y + 4, 0) + "\">" +
               std::to_string(kAngleDegrees[a]) + "&#176;</text>";
    }
    return out + "</g>";
}

std::string trendSvg(const InstrumentStatus& i) {
    const TrendScale s = scaleOf(i.drift.points);
    std::string out =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"430\" height=\"160\" "
        "viewBox=\"0 0 430 160\" role=\"img\"><title>Colour difference from the reference of " +
        htmlText(i.serial) + " per angle, " + std::string(kindName(*i.drift.source)) +
        " checks</title>" + axesSvg(i.drift.points, s);
    for (int a = 0; a < kAngleCount; ++a) out += seriesSvg(i.drift.points, a, s);
    return out + legendSvg() + "</svg>";
}

std::string trendsHtml(const std::vector<InstrumentStatus>& fleet, int longTermDays) {
    std::string out =
        "<h2>Trends per angle</h2>\n<p class=\"note\">Each instrument's colour "
        "difference from the reference over the " +
        (longTermDays > 0 ? "last " + std::to_string(longTermDays) + " days"
                          : std::string("whole logbook")) +
        " since its entries last changed: the checks its drift is taken "
        "from.</p>\n<div class=\"trends\">\n";
    for (std::size_t n = 0; n < fleet.size(); ++n) {
        const InstrumentStatus& i = fleet[n];
        out += "<section class=\"trend\" id=\"trend-" + std::to_string(n) + "\"><h3>" +
               htmlText(i.serial) + " <span class=\"badge " + statusClass(i.status) + "\">" +
               statusWords(i.status) + "</span></h3>";
        out += i.drift.source
                   ? trendSvg(i) + "<p>" + std::to_string(i.drift.points.size()) + " " +
                         std::string(kindName(*i.drift.source)) + " checks.</p>"
                   : "<p>No trend: fewer than three inter-instrument checks or tile sets in the "
                     "period since the entries last changed.</p>";
        out += "</section>\n";
    }
    return out + "</div>\n";
}

}  // namespace

std::string htmlText(std::string_view text) {
    const QString in = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QString out;
    out.reserve(in.size());
    for (QChar c : in) {
        const char16_t u = c.unicode();
        if (u == '&')
            out += QStringLiteral("&amp;");
        else if (u == '<')
            out += QStringLiteral("&lt;");
        else if (u == '>')
            out += QStringLiteral("&gt;");
        else if (u == '"')
            out += QStringLiteral("&quot;");
        else if (u == '\'')
            out += QStringLiteral("&#39;");
        else if ((u < 0x20 && u != '\t' && u != '\n') || (u >= 0x7f && u < 0xa0))
            out += QChar(QChar::ReplacementCharacter);
        else
            out += c;
    }
    return out.toStdString();
}

std::string fleetPageHtml(const std::vector<InstrumentStatus>& fleet,
                          const FleetPageSource& source) {
    return headHtml(fleet) + "<body>\n" + summaryHtml(fleet, source) + tableHtml(fleet, source) +
           trendsHtml(fleet, source.longTermDays) + "</body>\n</html>\n";
}

std::string writeFleetPage(const std::string& path, const std::string& html) {
    const QFileInfo page(QString::fromStdString(path));
    const QFileInfo folder(page.absolutePath());
    if (path.empty()) return "no file name given";
    if (!folder.isDir()) return "the folder " + folder.filePath().toStdString() + " does not exist";
    if (page.isDir()) return path + " is a folder";
    AtomicFileStore files;
    if (!files.saveAtomically(path, html))
        return path + " could not be written (is the folder writable and is there room?)";
    return {};
}

}  // namespace qv

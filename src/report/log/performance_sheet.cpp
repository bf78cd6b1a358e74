#include "report/log/performance_sheet.h"

#include "core/app/hold_back.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/app/hold_back.h"
#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "platform/app/locale_format.h"
#include "platform/app/resource_file.h"
#include "report/kit/a4_page.h"

namespace qv {

namespace {

constexpr double kMarginMm = 18.0;
constexpr double kWidthMm = kA4WidthMm - 2 * kMarginMm;
constexpr double kTopMm = 16.0;
constexpr double kLabelColumnMm = 54.0;
constexpr double kDetailRowMm = 4.6;
constexpr double kAngleHeadMm = 5.5;
constexpr double kRowMm = 4.0;
constexpr double kBarRowMm = 9.0;
constexpr double kAngleGapMm = 3.0;
constexpr double kFooterMm = kA4HeightMm - 12.0;
// Contribution, figure, what is behind it, its dates, its standard uncertainty.
constexpr std::array<double, 5> kColumnsMm = {68.0, 22.0, 22.0, 42.0, 20.0};
// The bands of the share, in per cent, and the span of the bar's scale: the same on every
// angle up to it, so that the bars compare and the marks never crowd; a share beyond it widens
// the scale in steps of the span, with its end written, so that a bar never reads as full
// when the share is far beyond.
constexpr std::array<double, 2> kBandMarks = {10.0, 30.0};
constexpr double kScalePercent = 50.0;
// Long notes are drawn smaller down to this share of their size when that keeps them all on
// the statement's page; otherwise they keep their size and continue on the next.
constexpr double kLeastTextScale = 0.85;
const QColor kGreen(0x1b, 0x7f, 0x3b);
const QColor kAmber(0xd9, 0x8c, 0x00);
const QColor kRed(0xb3, 0x1b, 0x1b);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kShade(0xe8, 0xe8, 0xe8);

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString day(const std::optional<LocalTime>& t) {
    return t ? q(logbookTime(*t)).left(10) : QString();
}

// The page with what this document draws on it besides text.
class Page : public PageCanvas {
public:
    using PageCanvas::PageCanvas;
    // One line in a box, cut with an ellipsis where it is too long.
    void line(double x, double y, double w, double h, const QString& t,
              Qt::Alignment align = Qt::AlignLeft) {
        const QString shown =
            QFontMetricsF(p_.font(), p_.device()).elidedText(t, Qt::ElideRight, px(w) - px(0.6));
        p_.drawText(box(x, y, w, h), align | Qt::AlignVCenter, shown);
    }
    void fill(double x, double y, double w, double h, const QColor& c) {
        p_.fillRect(box(x, y, w, h), c);
    }
    void rule(double y, const QColor& c = kGrey, double x = kMarginMm, double w = kWidthMm) {
        p_.setPen(QPen(c, px(0.25)));
        p_.drawLine(QPointF(px(x), px(y)), QPointF(px(x + w), px(y)));
    }
};

QColor bandColour(ToleranceBand band) {
    switch (band) {
        case ToleranceBand::UpTo10:
            return kGreen;
        case ToleranceBand::UpTo25:
        case ToleranceBand::UpTo30:
            return kAmber;
        case ToleranceBand::Above30:
            return kRed;
    }
    return kRed;
}

QString number(const NumberFormat& f, double v, int decimals) {
    return std::isfinite(v) ? q(f.fixed(v, decimals)) : QStringLiteral("-");
}

// What the figure is, with it: each kind records a different one.
QString figureText(const Contribution& c, const NumberFormat& f) {
    if (!c.available || !std::isfinite(c.figure)) return QStringLiteral("-");
    const int decimals = c.kind == ContributionKind::Resolution ? 2 : 3;
    return q(c.figureName) + QStringLiteral(" ") + number(f, c.figure, decimals) +
           (c.kind == ContributionKind::Resolution ? QStringLiteral(" %") : QString());
}

QString behindText(const Contribution& c) {
    if (!c.available || c.readings <= 0) return c.available ? QString() : QStringLiteral("-");
    switch (c.kind) {
        case ContributionKind::ShortTerm:
            return QStringLiteral("%1 readings").arg(c.readings);
        case ContributionKind::LongTerm:
            return QStringLiteral("%1 records").arg(c.readings);
        case ContributionKind::Agreement:
            return QStringLiteral("%1 tiles").arg(c.readings);
        case ContributionKind::Reference:
        case ContributionKind::Resolution:
            break;
    }
    return QString::number(c.readings);
}

QString datesText(const Contribution& c) {
    const QString to = day(c.date);
    const QString from = day(c.from);
    if (!from.isEmpty() && from != to) return from + QStringLiteral(" – ") + to;
    return to;
}

QString entryText(const PerformanceStatement& st) {
    if (!st.entry) return QStringLiteral("not known: no tile set on record");
    const EntryInForce& e = *st.entry;
    QString t = e.entry == 0 ? QStringLiteral("none written by this program")
                             : QStringLiteral("%1%2, written %3")
                                   .arg(e.entry)
                                   .arg(e.comment.empty() ? QString() : " '" + q(e.comment) + "'")
                                   .arg(e.written ? q(logbookTime(*e.written)) : QString());
    if (!st.retired.empty()) t += QStringLiteral("; after correction retired: ") + q(st.retired);
    return t;
}

// The signature lines above the footer.
constexpr double kSignatureMm = 12.0;

// The title and the statement's details; where they end.
double header(Page& s, const PerformanceStatement& st) {
    s.font(20, true);
    s.line(kMarginMm, kTopMm, kWidthMm, 10, QStringLiteral("Performance statement"));
    const QString type = st.instrumentType.empty() ? QStringLiteral("type not known")
                                                   : QStringLiteral("type ") + q(st.instrumentType);
    std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("Statement"),
         QStringLiteral("No. %1, valid until %2")
             .arg(q(st.number), q(logbookTime(st.validUntil)).left(10))},
        {QStringLiteral("Instrument"), q(st.serial) + QStringLiteral(", ") + type},
        {QStringLiteral("Measurand"), q(st.measurand)},
        {QStringLiteral("Reference"),
         (st.referenceSerial.empty() ? QStringLiteral("none on record") : q(st.referenceSerial)) +
             QStringLiteral(", certificate ") +
             (st.certificate.empty() ? QStringLiteral("not given") : q(st.certificate))},
        {QStringLiteral("Colour"),
         QStringLiteral("CIELAB, D65, 10° observer; differences in ") + q(st.formula)},
        {QStringLiteral("Entry in force"), entryText(st)},
        {QStringLiteral("Conditions"), q(st.conditions)},
        {QStringLiteral("Repeatability specimen"),
         st.specimen.empty() ? QStringLiteral("none on record") : q(st.specimen)},
        {QStringLiteral("Made"),
         q(logbookTime(st.made)) +
             (st.madeBy.empty() ? QString() : QStringLiteral(" by ") + q(st.madeBy)) +
             (st.workstation.empty() ? QString() : QStringLiteral(" on ") + q(st.workstation))}};
    if (!st.overdue.empty())
        rows.emplace_back(QStringLiteral("Held back"),
                          q(st.overdue) + QStringLiteral("; issued on a supervisor's reason: ") +
                              q(st.overrideReason));
    double y = kTopMm + 12;
    for (const auto& [label, value] : rows) {
        s.font(8.5, true);
        s.line(kMarginMm, y, kLabelColumnMm, kDetailRowMm, label);
        s.font(8.5);
        // The conditions may take two lines; every other detail is one, cut where too long.
        const double w = kWidthMm - kLabelColumnMm;
        if ((label == QLatin1String("Conditions") || label == QLatin1String("Held back")) &&
            s.heightOf(w, value) > kDetailRowMm) {
            y += s.paragraph(kMarginMm + kLabelColumnMm, y + 0.6, w, value) + 1.2;
            continue;
        }
        s.line(kMarginMm + kLabelColumnMm, y, w, kDetailRowMm, value);
        y += kDetailRowMm;
    }
    s.rule(y + 1.5);
    return y + 4.0;
}

// The cells of one table row, left to right.
void row(Page& s, double y, const QStringList& cells, double points, bool bold,
         const QColor& last = Qt::black) {
    double x = kMarginMm;
    for (int c = 0; c < cells.size() && c < static_cast<int>(kColumnsMm.size()); ++c) {
        const bool isLast = c + 1 == static_cast<int>(kColumnsMm.size());
        s.font(points, bold, isLast ? last : QColor(Qt::black));
        s.line(x + 1, y, kColumnsMm[c] - 1, kRowMm, cells[c],
               c == 0 ? Qt::AlignLeft : Qt::AlignRight);
        x += kColumnsMm[c];
    }
}

// A total under the table: its name across the first columns, its value in the last.
double totalRow(Page& s, double y, const QString& name, const QString& value) {
    const double last = kColumnsMm.back();
    s.font(8, true);
    s.line(kMarginMm + 1, y, kWidthMm - last - 1, kRowMm, name);
    s.line(kMarginMm + kWidthMm - last + 1, y, last - 1, kRowMm, value, Qt::AlignRight);
    return y + kRowMm;
}

// The summary in the angle's heading: u, U, the tolerance and the share.
QString summaryText(const AngleBudget& b, const NumberFormat& f) {
    if (!b.complete) return QStringLiteral("incomplete budget: not an uncertainty");
    const QString dof =
        std::isinf(b.effectiveDof) ? QStringLiteral("∞") : number(f, b.effectiveDof, 0);
    QString t = QStringLiteral("u %1   U (k = %2, ν_eff %3) %4   near standard %5")
                    .arg(number(f, b.standard, 3), number(f, b.coverageFactor, 2), dof,
                         number(f, b.expanded, 3), number(f, b.nearStandard, 3));
    t += b.tolerance ? QStringLiteral("   tolerance %1").arg(number(f, *b.tolerance, 2))
                     : QStringLiteral("   no tolerance");
    if (b.share && b.testUncertaintyRatio)
        t += QStringLiteral("   U/T %1 % (TUR %2)")
                 .arg(number(f, *b.share * 100.0, 1), number(f, *b.testUncertaintyRatio, 1));
    return t;
}

// The share of the tolerance as a bar against the bands' marks; or why there is none.
void shareBar(Page& s, const AngleBudget& b, const NumberFormat& f, double y) {
    s.font(8, true);
    s.line(kMarginMm + 1, y, kLabelColumnMm - 1, kBarRowMm, QStringLiteral("Gauge share 6u/T"));
    const double left = kMarginMm + kLabelColumnMm;
    const double width = kWidthMm - kLabelColumnMm - 22.0;
    if (!b.complete) {
        s.font(8, true, kRed);
        s.line(left, y, kWidthMm - kLabelColumnMm, kBarRowMm,
               QStringLiteral("none: incomplete budget, not an uncertainty"));
        return;
    }
    if (!b.gaugeShare || !b.band || !std::isfinite(*b.gaugeShare)) {
        s.font(8, false, kGrey);
        s.line(left, y, kWidthMm - kLabelColumnMm, kBarRowMm,
               !std::isfinite(b.expanded) ? QStringLiteral("none: the uncertainty is not known")
                                          : QStringLiteral("none: no product tolerance is set"));
        return;
    }
    const double percent = std::max(*b.gaugeShare * 100.0, 0.0);
    const double top = std::max(kScalePercent, std::ceil(percent / kScalePercent) * kScalePercent);
    const double barTop = y + 1.5;
    const double barHigh = 3.5;
    s.fill(left, barTop, width, barHigh, kShade);
    s.fill(left, barTop, width * std::min(percent, top) / top, barHigh, bandColour(*b.band));
    double lastLabel = -1e9;
    for (double mark : kBandMarks) {
        const double x = left + width * mark / top;
        // On a widened scale the marks close up: a label that would touch the one before goes.
        const bool labelled = x - lastLabel >= 8.0;
        if (labelled) lastLabel = x;
        s.painter().setPen(QPen(Qt::black, s.px(0.3)));
        s.painter().drawLine(QPointF(s.px(x), s.px(barTop - 0.8)),
                             QPointF(s.px(x), s.px(barTop + barHigh + 0.8)));
        if (!labelled) continue;
        s.font(6, false, kGrey);
        s.line(x - 5, barTop + barHigh + 0.6, 10, 2.6, QStringLiteral("%1 %").arg(mark),
               Qt::AlignHCenter);
    }
    s.font(6, false, kGrey);
    s.line(left + width - 10, barTop + barHigh + 0.6, 10, 2.6, QStringLiteral("%1 %").arg(top),
           Qt::AlignRight);
    s.font(8.5, true, bandColour(*b.band));
    s.line(left + width + 1, y, 21, kBarRowMm, number(f, percent, 1) + QStringLiteral(" %"),
           Qt::AlignRight);
}

QString range(const NumberFormat& f, double low, double high) {
    return number(f, low, 0) + QStringLiteral("–") + number(f, high, 0);
}

// The colours the angle's agreement speaks for, and what its tile set could not see.
double scopeRows(Page& s, const AngleScope& sc, const NumberFormat& f, double y) {
    s.font(7.5, false, kGrey);
    if (!sc.known) {
        s.line(kMarginMm + 1, y, kWidthMm - 2, kRowMm,
               QStringLiteral("Scope: not known (no diagnosed tile set behind the agreement)"));
        return y + kRowMm;
    }
    QString unseen;
    for (const std::string& t : sc.unseen) unseen += (unseen.isEmpty() ? "" : ", ") + q(t);
    const QString hue = std::isfinite(sc.hueFrom) ? range(f, sc.hueFrom, sc.hueTo) + "°"
                                                  : QStringLiteral("no chromatic tile");
    s.line(
        kMarginMm + 1, y, kWidthMm - 2, kRowMm,
        QStringLiteral("Scope: tile set L* %1, C* %2, h %3; unseen: %4; diagnosis: %5")
            .arg(range(f, sc.lightnessLow, sc.lightnessHigh), range(f, sc.chromaLow, sc.chromaHigh),
                 hue, unseen.isEmpty() ? QStringLiteral("none") : unseen, q(sc.decision)));
    y += kRowMm;
    s.font(7.5, true, kRed);
    if (sc.decision == "service") {
        s.line(kMarginMm + 1, y, kWidthMm - 2, kRowMm, QStringLiteral("Service: ") + q(sc.reason));
        y += kRowMm;
    }
    if (sc.neutralOnly) {
        s.line(kMarginMm + 1, y, kWidthMm - 2, kRowMm,
               QStringLiteral("The set cannot see wavelength errors: U holds for near-neutral "
                              "colours only"));
        y += kRowMm;
    }
    return y;
}

// One angle's table: each contribution, the combined and expanded uncertainty, the bar.
double angleSection(Page& s, const AngleBudget& b, const NumberFormat& f, double y) {
    s.fill(kMarginMm, y, kWidthMm, kAngleHeadMm, kShade);
    s.font(10, true);
    s.line(kMarginMm + 1, y, 20, kAngleHeadMm, QStringLiteral("%1°").arg(b.angleDegrees));
    s.font(8.5);
    s.line(kMarginMm + 16, y, kWidthMm - 17, kAngleHeadMm, summaryText(b, f), Qt::AlignRight);
    y += kAngleHeadMm;
    y = scopeRows(s, b.scope, f, y);
    row(s, y,
        {QStringLiteral("Contribution"), QStringLiteral("Figure"), QStringLiteral("Behind it"),
         QStringLiteral("Date"), QStringLiteral("u")},
        7.5, true);
    y += kRowMm;
    for (const Contribution& c : b.contributions) {
        row(s, y,
            {q(std::string(contributionName(c.kind))), figureText(c, f), behindText(c),
             datesText(c), c.available ? number(f, c.standard, 3) : QStringLiteral("missing")},
            8, false, c.available ? QColor(Qt::black) : kRed);
        y += kRowMm;
        s.rule(y, kShade);
    }
    y = totalRow(s, y, QStringLiteral("Combined standard uncertainty u"), number(f, b.standard, 3));
    y = totalRow(
        s, y,
        QStringLiteral("Expanded uncertainty U (k = %1), differences beyond %2")
            .arg(number(f, b.coverageFactor, 2), number(f, kNearStandardFactor * b.standard, 2)),
        number(f, b.expanded, 3));
    y = totalRow(s, y,
                 QStringLiteral("Within %1 of the standard: 95th percentile of one reading")
                     .arg(number(f, kNearStandardFactor * b.standard, 2)),
                 number(f, b.nearStandard, 3));
    shareBar(s, b, f, y);
    return y + kBarRowMm + kAngleGapMm;
}

// Where each contribution comes from, once when every angle has the same source.
QStringList sourceLines(const PerformanceStatement& st) {
    QStringList lines;
    for (std::size_t k = 0; k < kContributionCount; ++k) {
        QStringList sources;
        for (const AngleBudget& b : st.angles)
            if (!b.contributions[k].source.empty()) sources << q(b.contributions[k].source);
        sources.removeDuplicates();
        if (sources.isEmpty()) continue;
        QString text = sources.front();
        if (sources.size() > 1) {
            text.clear();
            for (const AngleBudget& b : st.angles)
                text += QStringLiteral("%1%2°: %3")
                            .arg(text.isEmpty() ? QString() : QStringLiteral("; "))
                            .arg(b.angleDegrees)
                            .arg(q(b.contributions[k].source));
        }
        lines << q(std::string(contributionName(static_cast<ContributionKind>(k)))) +
                     QStringLiteral(": ") + text;
    }
    return lines;
}

QString methodText() {
    return QStringLiteral(
        "Method: every contribution is a standard uncertainty u along one direction of colour "
        "space, in the colour-difference formula above; they are combined as the root of the "
        "sum of their squares, and the expanded uncertainty U = k u takes Student's k for the "
        "effective degrees of freedom (Welch-Satterthwaite): it covers about 95 % of checks of "
        "products at least 3 u from their standard. Nearer, the difference read is the length "
        "of the error and never negative: there the 95th percentile of that length, drawn from "
        "the spread of each coordinate, is stated instead. The share is U divided by the "
        "product tolerance (U/T; at most 25 % is a test uncertainty ratio T/U of 4 or more). The "
        "bar is six standard uncertainties over the tolerance (6u/T), as gauge studies judge a "
        "measurement system: up to 10 % green, up to 30 % amber, above 30 % red.");
}

// The paragraphs of the notes, each with its size in points and colour.
struct Note {
    QString text;
    double points;
    QColor colour;
    bool bold = false;
};

std::vector<Note> noteList(const PerformanceStatement& st) {
    std::vector<Note> notes;
    if (!st.missing.empty()) notes.push_back({QStringLiteral("Not on record"), 9, Qt::black, true});
    for (const std::string& m : st.missing) notes.push_back({QStringLiteral("• ") + q(m), 8, kRed});
    notes.push_back({methodText(), 7, kGrey});
    for (const QString& line : sourceLines(st)) notes.push_back({line, 7, kGrey});
    return notes;
}

// Where the notes stand between pages: the next to draw and the size they are drawn at.
struct NotesFlow {
    std::vector<Note> all;
    std::size_t next = 0;
    double scale = 1.0;
};

// The notes from `flow.next` on, in order, between `y` and `bottom`; the first that does not
// fit and those after it wait for the next page, with a line that says so (on the last page
// the document may have: that they are left out, and where to read them).
bool flowNotes(Page& s, NotesFlow& flow, double y, double bottom, bool lastPage) {
    constexpr double kContinuedMm = 4.0;
    s.painter().save();
    s.painter().setClipRect(s.box(0, y, kA4WidthMm, bottom - y));
    for (; flow.next < flow.all.size(); ++flow.next) {
        const Note& n = flow.all[flow.next];
        s.font(n.points * flow.scale, n.bold, n.colour);
        const bool more = flow.next + 1 < flow.all.size();
        if (s.heightOf(kWidthMm, n.text) > bottom - y - (more ? kContinuedMm : 0.0)) break;
        y += s.paragraph(kMarginMm, y, kWidthMm, n.text);
    }
    const std::size_t left = flow.all.size() - flow.next;
    if (left > 0) {
        s.font(7, true, kGrey);
        s.line(kMarginMm, y, kWidthMm, 3.5,
               lastPage ? QStringLiteral("%1 more notes do not fit: qvl70s-cli performance "
                                         "prints them all")
                              .arg(left)
                        : QStringLiteral("Continued on the next page: %1 more notes").arg(left));
    }
    s.painter().restore();
    return left > 0 && !lastPage;
}

// The notes on the statement's page: drawn a little smaller when that keeps them all there;
// otherwise at their size, what does not fit continuing on the next page.
bool firstNotes(Page& s, NotesFlow& flow, double y) {
    const double bottom = kFooterMm - kSignatureMm - 2.0;
    const auto height = [&](double scale) {
        double h = 0.0;
        for (const Note& n : flow.all) {
            s.font(n.points * scale, n.bold);
            h += s.heightOf(kWidthMm, n.text);
        }
        return h;
    };
    flow.scale = 1.0;
    while (flow.scale > kLeastTextScale && height(flow.scale) > bottom - y) flow.scale -= 0.05;
    if (height(flow.scale) > bottom - y) flow.scale = 1.0;
    return flowNotes(s, flow, y, bottom, kMostA4Pages == 1);
}

void madeBy(Page& s, int page) {
    s.rule(kFooterMm);
    s.font(7.5, false, kGrey);
    s.line(
        kMarginMm, kFooterMm + 0.5, kWidthMm, 4,
        QStringLiteral("Made by QV-L70s %1 from the instrument logbook").arg(q(programVersion())));
    s.line(kMarginMm, kFooterMm + 0.5, kWidthMm, 4, QStringLiteral("page %1").arg(page + 1),
           Qt::AlignRight);
}

void footer(Page& s) {
    const double sign = kFooterMm - kSignatureMm + 2.0;
    s.font(8.5, true);
    s.line(kMarginMm, sign, 30, 5, QStringLiteral("Approved by"));
    s.rule(sign + 6.5, Qt::black, kMarginMm + 30, 70);
    s.line(kMarginMm + 108, sign, 14, 5, QStringLiteral("Date"));
    s.rule(sign + 6.5, Qt::black, kMarginMm + 122, 52);
    s.font(6.5, false, kGrey);
    s.line(kMarginMm + 30, sign + 6.8, 70, 3, QStringLiteral("name and signature"));
    madeBy(s, 0);
}

// Page `page` of the statement; true when another follows. The first holds the statement and
// its signature; the others the notes it had no room for, under the statement's number.
bool paint(QPainter& painter, const PerformanceStatement& st, int dpi, int page, NotesFlow& flow) {
    Page s(painter, dpi);
    if (page == 0) {
        const NumberFormat format = userNumberFormat();
        double y = header(s, st);
        for (const AngleBudget& b : st.angles) y = angleSection(s, b, format, y);
        flow = {noteList(st), 0, 1.0};
        const bool more = firstNotes(s, flow, y);
        footer(s);
        return more;
    }
    s.font(10, true);
    s.line(kMarginMm, kTopMm, kWidthMm, 6,
           QStringLiteral("Performance statement %1, continued").arg(q(st.number)));
    s.rule(kTopMm + 7);
    const bool more = flowNotes(s, flow, kTopMm + 9, kFooterMm - 2.0, page + 1 == kMostA4Pages);
    madeBy(s, page);
    return more;
}

}  // namespace

QImage renderPerformanceSheet(const PerformanceStatement& statement, int dpi, int page) {
    // The pages before it are painted too: they say where its notes begin.
    NotesFlow flow;
    QImage image;
    for (int at = 0; at <= page; ++at)
        image = renderA4Page(dpi, [&](QPainter& p, int d) { paint(p, statement, d, at, flow); });
    return image;
}

bool writePerformanceSheet(const PerformanceStatement& statement, const QString& pdfPath,
                           QString* error) {
    NotesFlow flow;
    return writeA4PdfPages(
        pdfPath, QStringLiteral("Performance statement %1").arg(q(statement.serial)),
        [&](QPainter& p, int at, int page) { return paint(p, statement, at, page, flow); }, error);
}

std::string performanceSheetName(const PerformanceStatement& statement) {
    return "Performance_" + fileNameSerial(statement.serial) + "_" +
           resultTimestamp(statement.made) + ".pdf";
}

bool savePerformanceSheetAs(const PerformanceStatement& made, const Seams& seams) {
    Prompter& prompter = seams.prompter;
    // A page saved is a statement issued: not of an instrument whose checks are overdue, unless
    // a supervisor says why.
    const Clearance cleared =
        clearance(seams.logbook, prompter, made.serial, localTimeOf(seams.clock.calendarSeconds()));
    if (!cleared.cleared) return false;
    PerformanceStatement statement = made;
    statement.overdue = cleared.overdue;
    statement.overrideReason = cleared.overrideReason;
    const auto path = prompter.askSaveFile(
        seams.state.dataFolder() + "/" + performanceSheetName(statement), "PDF documents (*.pdf)");
    if (!path) return false;
    QString error;
    if (writePerformanceSheet(statement, q(*path), &error)) {
        // The page is the statement issued: the logbook keeps that it was.
        if (seams.logbook) seams.logbook->recordMarked(statementRecord(statement, *path));
        return true;
    }
    Message m = messageBox(kStrPerformanceNotSaved, Icon::Exclamation);
    m.suffix = "\n" + error.toStdString();
    prompter.ask(m);
    return false;
}

}  // namespace qv

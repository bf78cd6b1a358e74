#include "report/log/certificate.h"

#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/app/thresholds.h"
#include "core/tiles/diagnosis_record.h"
#include "core/tiles/diagnosis_view.h"
#include "platform/app/locale_format.h"
#include "platform/app/resource_file.h"
#include "platform/log/sql_logbook.h"
#include "report/kit/a4_page.h"
#include "report/log/certificate_chart.h"

namespace qv {

namespace {

QString kindTitle(RecordKind kind) {
    const std::string_view title = kindRow(kind).title;
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

constexpr double kMarginMm = 20.0;
constexpr double kValueColumnMm = 80.0;
// Two lines of a column heading ("dE CMC(2:1) before") fit into it.
constexpr double kHeadingRowMm = 11.0;
constexpr double kRowMm = 7.0;
constexpr double kDetailsTopMm = 45.0;
constexpr double kSignatureLeftMm = 120.0;
// A chart squeezed smaller than this would not be read; it then overlaps the verdict's margin.
constexpr double kLeastChartMm = 45.0;
const QColor kPassedColour(0x1b, 0x7f, 0x3b);
const QColor kFailedColour(0xb3, 0x1b, 0x1b);
const QColor kRuleColour(0x80, 0x80, 0x80);

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Where the signature line stands.
double footerTop() {
    return kA4HeightMm - kMarginMm - 3 * kRowMm;
}

bool hasReference(const CheckRecord& r) {
    return r.kind == RecordKind::InterInstrument || r.kind == RecordKind::Verification ||
           r.kind == RecordKind::TileSet ||
           (r.kind == RecordKind::EntryWrite && !r.referenceSerial.empty());
}

bool isEntryChange(const CheckRecord& r) {
    return r.kind == RecordKind::EntryWrite || r.kind == RecordKind::EntryDeletion;
}

// A record file keeps no entry number: an imported write does not know it.
QString entryNumber(const CheckRecord& r) {
    return r.entry > 0 ? QString::number(r.entry) : QStringLiteral("not known");
}

// The page with what this document draws on it besides text.
class Sheet : public PageCanvas {
public:
    using PageCanvas::PageCanvas;
    // Text in a box `w` wide and `h` high whose top is at `y`.
    void text(double x, double y, double w, const QString& t, Qt::Alignment align = Qt::AlignLeft,
              double h = kRowMm) {
        p_.drawText(box(x, y, w, h), align | Qt::AlignVCenter | Qt::TextWordWrap, t);
    }
    void rule(double y) {
        p_.setPen(QPen(kRuleColour, px(0.3)));
        p_.drawLine(QPointF(px(kMarginMm), px(y)), QPointF(px(kA4WidthMm - kMarginMm), px(y)));
    }
};

void header(Sheet& s, const CheckRecord& r) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    s.font(20, true);
    s.text(kMarginMm, 20, width, QStringLiteral("Check certificate"));
    s.font(9, false, kRuleColour);
    s.text(kMarginMm, 20, width, QStringLiteral("Logbook record %1").arg(r.id), Qt::AlignRight);
    s.font(14);
    s.text(kMarginMm, 29, width, kindTitle(r.kind));
    s.rule(kDetailsTopMm - 6);
}

// The label and value rows; returns where the next section begins.
double details(Sheet& s, const CheckRecord& r, const NumberFormat& format,
               const Clearance& issued) {
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QStringLiteral("Instrument serial"), q(r.serial));
    rows.emplace_back(QStringLiteral("Instrument type"),
                      r.instrumentType.empty() ? QStringLiteral("not known") : q(r.instrumentType));
    if (hasReference(r))
        rows.emplace_back(QStringLiteral("Reference instrument"), q(r.referenceSerial));
    rows.emplace_back(QStringLiteral("Date and time"), q(logbookTime(r.time)));
    // A file imported from before the logbook does not say who made the check.
    rows.emplace_back(QStringLiteral("Operator"),
                      r.operatorName.empty() ? QStringLiteral("not known") : q(r.operatorName));
    rows.emplace_back(QStringLiteral("Kind of check"), kindTitle(r.kind));
    if (!std::isnan(r.threshold)) {
        rows.emplace_back(QStringLiteral("Threshold"),
                          QStringLiteral("%1 (%2 must lie below it)")
                              .arg(q(format.display(r.threshold)),
                                   r.kind == RecordKind::TileSet
                                       ? QStringLiteral("each angle's mean over the set")
                                       : QStringLiteral("each angle")));
        rows.emplace_back(QStringLiteral("Colour-difference formula"), q(r.formula));
    }
    if (isEntryChange(r)) rows.emplace_back(QStringLiteral("Entry"), entryNumber(r));
    if (r.kind == RecordKind::EntryWrite)
        rows.emplace_back(QStringLiteral("Comment"), q(r.comment));
    if (r.kind == RecordKind::TileSet) rows.emplace_back(QStringLiteral("Tile set"), q(r.comment));
    if (r.kind == RecordKind::CheckTile)
        rows.emplace_back(QStringLiteral("Tile"), q(r.specimen + ": " + r.comment));
    if (r.kind == RecordKind::ExtendedRepeatability) {
        rows.emplace_back(
            QStringLiteral("Readings"),
            QStringLiteral("%1, the specimen %2")
                .arg(r.readings)
                .arg(r.handling ? QStringLiteral("lifted and placed again before each")
                                : QStringLiteral("left in place")));
        if (!r.specimen.empty()) rows.emplace_back(QStringLiteral("Specimen"), q(r.specimen));
        rows.emplace_back(QStringLiteral("Colour-difference formula"), q(r.formula));
    }
    for (const std::string& file : r.files)
        rows.emplace_back(QStringLiteral("Result file"), QFileInfo(q(file)).fileName());
    const QString because = QStringLiteral("; a supervisor's reason: ");
    if (!r.overdue.empty())
        rows.emplace_back(
            QStringLiteral("Made while overdue"),
            q(r.overdue) + (r.overrideReason.empty() ? QString() : because + q(r.overrideReason)));
    if (!issued.overdue.empty())
        rows.emplace_back(QStringLiteral("Issued while overdue"),
                          q(issued.overdue) + because + q(issued.overrideReason) +
                              QStringLiteral(" (issued by ") + q(operatorName()) +
                              QStringLiteral(")"));
    double y = kDetailsTopMm;
    for (const auto& [label, value] : rows) {
        s.font(10, true);
        s.text(kMarginMm, y, kValueColumnMm - kMarginMm, label);
        s.font(10);
        s.text(kValueColumnMm, y, kA4WidthMm - kMarginMm - kValueColumnMm, value);
        y += kRowMm;
    }
    return y + kRowMm;
}

// Per angle L*, a*, b* (when recorded), the colour difference (before and after for a
// verification or a corrected tile set; the mean over the tiles for a set) and whether it lies
// below the threshold.
double angleTable(Sheet& s, const CheckRecord& r, const NumberFormat& format, double y) {
    const auto any = [&r](auto has) { return std::any_of(r.angles.begin(), r.angles.end(), has); };
    const bool withLab = any([](const AngleRecord& g) { return !std::isnan(g.lab[0]); });
    const bool withBefore = r.kind == RecordKind::Verification ||
                            any([](const AngleRecord& g) { return !std::isnan(g.beforeDeltaE); });
    QString dE = q(r.formula.empty() ? std::string("dE") : r.formula);
    if (r.kind == RecordKind::TileSet) dE = QStringLiteral("mean ") + dE;
    QStringList heads{QStringLiteral("Angle")};
    if (withLab) heads << QStringLiteral("L*") << QStringLiteral("a*") << QStringLiteral("b*");
    if (withBefore)
        heads << dE + QStringLiteral("\nbefore") << dE + QStringLiteral("\nafter");
    else
        heads << dE;
    // A set's verdict weighs more than each angle's mean (its largest difference too): only
    // the set's own verdict is shown.
    const bool perAngle = r.kind != RecordKind::TileSet;
    if (perAngle) heads << QStringLiteral("Verdict");
    const double width = (kA4WidthMm - 2 * kMarginMm) / static_cast<double>(heads.size());
    s.painter().fillRect(s.box(kMarginMm, y, kA4WidthMm - 2 * kMarginMm, kHeadingRowMm),
                         QColor(0xe8, 0xe8, 0xe8));
    s.font(10, true);
    for (int c = 0; c < heads.size(); ++c)
        s.text(kMarginMm + c * width, y, width, heads[c], Qt::AlignCenter, kHeadingRowMm);
    y += kHeadingRowMm;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        QStringList cells{QStringLiteral("%1°").arg(kAngleDegrees[a])};
        if (withLab)
            for (double v : g.lab) cells << q(format.display(v));
        if (withBefore) cells << q(format.display(g.beforeDeltaE));
        cells << q(format.display(g.deltaE));
        const bool judged = !std::isnan(r.threshold);
        const bool passed = passesThreshold(g.deltaE, r.threshold);
        if (perAngle)
            cells << (!judged  ? QStringLiteral("-")
                      : passed ? QStringLiteral("passed")
                               : QStringLiteral("failed"));
        for (int c = 0; c < cells.size(); ++c) {
            const bool verdictCell = perAngle && c + 1 == cells.size() && judged;
            s.font(10, false, verdictCell ? (passed ? kPassedColour : kFailedColour) : Qt::black);
            s.text(kMarginMm + c * width, y, width, cells[c], Qt::AlignCenter);
        }
        y += kRowMm;
        s.rule(y);
    }
    return y + 2 * kRowMm;
}

// Over many readings: per angle the mean L*, a*, b*, the mean difference from it (MCDM), the
// standard deviations and the largest difference; no verdict.
double spreadTable(Sheet& s, const CheckRecord& r, const NumberFormat& format, double y) {
    const QString dE = q(r.formula.empty() ? std::string("dE") : r.formula);
    const QStringList heads{QStringLiteral("Angle"),         QStringLiteral("L*\nmean"),
                            QStringLiteral("a*\nmean"),      QStringLiteral("b*\nmean"),
                            QStringLiteral("MCDM\n") + dE,   QStringLiteral("sd L*"),
                            QStringLiteral("sd a*"),         QStringLiteral("sd b*"),
                            QStringLiteral("largest\n") + dE};
    const double width = (kA4WidthMm - 2 * kMarginMm) / static_cast<double>(heads.size());
    s.painter().fillRect(s.box(kMarginMm, y, kA4WidthMm - 2 * kMarginMm, kHeadingRowMm),
                         QColor(0xe8, 0xe8, 0xe8));
    s.font(9, true);
    for (int c = 0; c < heads.size(); ++c)
        s.text(kMarginMm + c * width, y, width, heads[c], Qt::AlignCenter, kHeadingRowMm);
    y += kHeadingRowMm;
    // The spread is a few hundredths: one decimal more than the usual two.
    const auto spread = [&format](double v) {
        return std::isnan(v) ? QString::fromLatin1(kEmptyField) : q(format.fixed(v, 3));
    };
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        QStringList cells{QStringLiteral("%1°").arg(kAngleDegrees[a])};
        for (double v : g.lab) cells << q(format.display(v));
        cells << spread(g.deltaE);
        for (double v : g.sd) cells << spread(v);
        cells << spread(g.largest);
        s.font(10);  // the rule below each row takes the pen's colour
        for (int c = 0; c < cells.size(); ++c)
            s.text(kMarginMm + c * width, y, width, cells[c], Qt::AlignCenter);
        y += kRowMm;
        s.rule(y);
    }
    return y + 2 * kRowMm;
}

// The verdict in a framed box (`compact`: a lower one), or what an entry change did; returns
// where the next section begins.
double verdict(Sheet& s, const CheckRecord& r, double y, bool compact) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    if (!r.passed) {
        const QString what = r.kind == RecordKind::EntryWrite
                                 ? QStringLiteral("Entry %1 was written with the comment \"%2\".")
                                       .arg(entryNumber(r), q(r.comment))
                             : r.comment.empty()
                                 ? QStringLiteral("Entry %1 was emptied.").arg(r.entry)
                                 : QStringLiteral("Entry %1, which held \"%2\", was emptied.")
                                       .arg(r.entry)
                                       .arg(q(r.comment));
        s.font(12);
        s.text(kMarginMm, y, width,
               isEntryChange(r) ? what
               : r.kind == RecordKind::ExtendedRepeatability
                   ? QStringLiteral("No verdict: the check states how far the readings spread.")
                   : QStringLiteral("No verdict recorded."));
        return y + 2 * kRowMm;
    }
    const QColor colour = *r.passed ? kPassedColour : kFailedColour;
    s.painter().setPen(QPen(colour, s.px(0.8)));
    s.painter().setBrush(Qt::NoBrush);
    const double rows = compact ? 2.0 : 3.0;
    s.painter().drawRect(s.box(kMarginMm, y, width, rows * kRowMm));
    s.font(compact ? 18 : 22, true, colour);
    s.painter().drawText(s.box(kMarginMm, y, width, rows * kRowMm), Qt::AlignCenter,
                         *r.passed ? QStringLiteral("PASSED") : QStringLiteral("FAILED"));
    return y + (rows + 1) * kRowMm;
}

// The rows of a set's diagnosis table: the terms identified at any angle, each angle's value
// with its standard error, then each angle's decision.
std::vector<QStringList> diagnosisRows(const DiagnosisRecord& d, const NumberFormat& format) {
    std::vector<QStringList> rows;
    for (std::size_t k = 0; k < d[0].terms.size(); ++k) {
        const auto term = termFromKey(d[0].terms[k].key);
        if (!term) continue;
        QStringList row{q(termName(*term))};
        bool any = false;
        for (const AngleDiagnosisRecord& a : d) {
            const bool known = k < a.terms.size() && a.terms[k].key == d[0].terms[k].key;
            any = any || (known && a.terms[k].identified);
            row << (known && a.terms[k].identified
                        ? q(termText(estimateOf(a.terms[k]), *term, format))
                        : QStringLiteral("-"));
        }
        if (any) rows.push_back(row);
    }
    QStringList decision{QStringLiteral("Decision")};
    for (const AngleDiagnosisRecord& a : d) {
        const auto r = recommendationFromKey(a.decision);
        decision << (r ? q(recommendationText(*r)) : q(a.decision));
    }
    rows.push_back(decision);
    return rows;
}

constexpr double kDiagnosisLineMm = 4.5;
constexpr double kDiagnosisPt = 8.0;
constexpr double kTermLabelMm = 28.0;

// The table of a set's diagnosis, its lines `line` high and its text `scale` times the usual
// size; returns where it ends.
double diagnosisTable(Sheet& s, const std::vector<QStringList>& rows, double y, double line,
                      double scale) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    const double column = (width - kTermLabelMm) / kAngleCount;
    s.painter().fillRect(s.box(kMarginMm, y, width, line), QColor(0xe8, 0xe8, 0xe8));
    QStringList heads{QStringLiteral("Term")};
    for (int a = 0; a < kAngleCount; ++a) heads << QStringLiteral("%1°").arg(kAngleDegrees[a]);
    std::vector<QStringList> all{heads};
    all.insert(all.end(), rows.begin(), rows.end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        // The heading and the decisions stand out.
        s.font(kDiagnosisPt * scale, i == 0 || i + 1 == all.size());
        s.text(kMarginMm, y, kTermLabelMm, all[i][0], Qt::AlignLeft, line);
        for (int a = 0; a < kAngleCount; ++a)
            s.text(kMarginMm + kTermLabelMm + a * column, y, column, all[i][a + 1], Qt::AlignCenter,
                   line);
        y += line;
        if (i > 0) s.rule(y);
    }
    return y;
}

// A set's diagnosis between `y` and `bottom`: per angle the identified terms with their
// standard errors and the decision, then each decision's reason. A diagnosis with many terms
// and long reasons is drawn smaller rather than over the signature.
double diagnosisSection(Sheet& s, const DiagnosisRecord& d, const NumberFormat& format, double y,
                        double bottom) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    const std::vector<QStringList> rows = diagnosisRows(d, format);
    QStringList reasons;
    for (int a = 0; a < kAngleCount; ++a)
        reasons << QStringLiteral("%1°: %2").arg(kAngleDegrees[a]).arg(q(d[a].reason));
    s.font(kDiagnosisPt);
    double needed = (3.0 + static_cast<double>(rows.size())) * kDiagnosisLineMm;
    for (const QString& reason : reasons) needed += s.heightOf(width, reason);
    const double scale = std::clamp((bottom - y) / needed, 0.6, 1.0);
    const double line = kDiagnosisLineMm * scale;
    s.font(11.0 * scale, true);
    s.text(kMarginMm, y, width,
           QStringLiteral("Instrument diagnosis (from the readings before any correction)"),
           Qt::AlignLeft, 1.5 * line);
    y = diagnosisTable(s, rows, y + 1.5 * line, line, scale) + 0.5 * line;
    s.font(kDiagnosisPt * scale);
    for (const QString& reason : reasons) y += s.paragraph(kMarginMm, y, width, reason);
    return y + line;
}

// Both instruments' spectra, between `y` and the signature; why not, when they cannot be read.
void spectraSection(Sheet& s, const CheckRecord& r, const RecordSpectra& spectra, double y) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    const double bottom = footerTop() - kRowMm;
    if (!spectra.spectra) {
        if (spectra.problem.empty()) return;
        s.font(9, false, kRuleColour);
        s.text(kMarginMm, y, width, QStringLiteral("Spectra not shown: ") + q(spectra.problem),
               Qt::AlignLeft, 2 * kRowMm);
        return;
    }
    if (bottom - y < kLeastChartMm) y = bottom - kLeastChartMm;
    paintSpectraChart(s.painter(), s.box(kMarginMm, y, width, bottom - y), s.px(1.0),
                      *spectra.spectra,
                      QStringLiteral("Target: reference instrument %1").arg(q(r.referenceSerial)),
                      QStringLiteral("Sample: instrument %1").arg(q(r.serial)));
}

// How far an entry written holds, between `y` and the signature.
double validitySection(Sheet& s, const QStringList& paragraphs, double y) {
    if (paragraphs.isEmpty()) return y;
    const double width = kA4WidthMm - 2 * kMarginMm;
    s.font(11, true);
    s.text(kMarginMm, y, width, QStringLiteral("Validity of the entry near its specimen"));
    y += kRowMm;
    s.font(9);
    for (const QString& paragraph : paragraphs)
        y += s.paragraph(kMarginMm, y, width, paragraph) + 1.5;
    return y + kRowMm;
}

void footer(Sheet& s) {
    const double width = kA4WidthMm - 2 * kMarginMm;
    const double y = footerTop();
    s.painter().setPen(QPen(Qt::black, s.px(0.3)));
    s.painter().drawLine(QPointF(s.px(kSignatureLeftMm), s.px(y)),
                         QPointF(s.px(kA4WidthMm - kMarginMm), s.px(y)));
    s.font(9);
    s.text(kSignatureLeftMm, y, kA4WidthMm - kMarginMm - kSignatureLeftMm,
           QStringLiteral("Signature"));
    s.rule(y + 2 * kRowMm);
    s.font(8, false, kRuleColour);
    s.text(
        kMarginMm, y + 2 * kRowMm, width,
        QStringLiteral("Made by QV-L70s %1 from the instrument logbook").arg(q(programVersion())));
}

void paint(QPainter& painter, const CheckRecord& r, const RecordSpectra& spectra, int dpi,
           const RecordValidity& validity, const Clearance& issued) {
    Sheet s(painter, dpi);
    const NumberFormat format = userNumberFormat();
    header(s, r);
    double y = details(s, r, format, issued);
    const bool anyValue = std::any_of(r.angles.begin(), r.angles.end(), [](const AngleRecord& g) {
        return !std::isnan(g.deltaE) || !std::isnan(g.lab[0]);
    });
    // A diagnosed set needs the room below: the verdict closer to the values and framed lower.
    const bool compact = r.diagnosis.has_value();
    if (r.kind == RecordKind::ExtendedRepeatability)
        y = spreadTable(s, r, format, y);
    else if (anyValue)
        y = angleTable(s, r, format, y) - (compact ? kRowMm : 0.0);
    y = verdict(s, r, y, compact);
    if (r.diagnosis) y = diagnosisSection(s, *r.diagnosis, format, y, footerTop() - kRowMm);
    if (r.kind == RecordKind::EntryWrite)
        y = validitySection(s, validityParagraphs(validity, format), y);
    spectraSection(s, r, spectra, y);
    footer(s);
}

}  // namespace

// What the prediction at the specimen is held against, and with what allowance for noise.
QString verificationSource(const RecordValidity& v) {
    if (!v.verification) return QStringLiteral(" No verification of the entry is on record.");
    const QString noise = v.repeatability
                              ? QStringLiteral("the repeatability check, record %1 of %2")
                                    .arg(v.repeatability->id)
                                    .arg(q(logbookTime(v.repeatability->time)))
                              : QStringLiteral("the built-in repeatability threshold");
    return QStringLiteral(
               " At the specimen held against the verification, record %1 of %2, give or take "
               "the reading noise of %3.")
        .arg(v.verification->id)
        .arg(q(logbookTime(v.verification->time)), noise);
}

// Where the prediction comes from and what the residual is judged against.
QString validitySource(const RecordValidity& v, const NumberFormat& format) {
    const CheckRecord& set = *v.set;
    QString out =
        QStringLiteral(
            "Predicted from the diagnosis of tile-set record %1 of %2 (set \"%3\", "
            "reference %4) for colours near the specimen the entry was computed on; at "
            "each distance the worst of them counts. %5")
            .arg(set.id)
            .arg(q(logbookTime(set.time)), q(set.comment), q(set.referenceSerial), q(triedText()));
    out += verificationSource(v) + QLatin1Char(' ');
    if (v.check)
        return out + QStringLiteral(
                         "Threshold and formula of the inter-instrument check, record "
                         "%1 of %2: %3 %4.")
                         .arg(v.check->id)
                         .arg(q(logbookTime(v.check->time)), q(format.display(v.threshold)),
                              q(v.formula));
    return out + QStringLiteral(
                     "No inter-instrument check of this pair before the write is on "
                     "record: the built-in threshold %1 %2.")
                     .arg(q(format.display(v.threshold)), q(v.formula));
}

// "25°: Within 2.37 dE00 ... Predicted residual at 2, 3.5 and 7 dE00: 0.12, 0.20 and 0.41.
// Predicted 0.01 at the specimen, measured 0.07 by the verification."; a radius not known says
// why and nothing else.
QString angleValidity(const RecordValidity& v, int angle, const NumberFormat& format) {
    const AngleValidity& at = (*v.validity)[angle];
    const QString sentence = q(validitySentence(at, v.threshold, v.formula, format));
    if (at.bound == RadiusBound::NotKnown)
        return QStringLiteral("%1°: %2").arg(kAngleDegrees[angle]).arg(sentence);
    QStringList residuals;
    QStringList distances;
    for (double d : {2.0, 3.5, 7.0}) {
        const auto row = rowAt(at, d);
        residuals << (row && row->colours > 0 ? q(format.display(row->worst))
                                              : QStringLiteral("-"));
        distances << q(format.general(d));
    }
    return QStringLiteral(
               "%1°: %2 Predicted residual at %3, %4 and %5 dE00 from the specimen: "
               "%6, %7 and %8 %9; at the specimen %10 %9, the verification measured %11 %9.")
        .arg(kAngleDegrees[angle])
        .arg(sentence, distances[0], distances[1], distances[2], residuals[0], residuals[1],
             residuals[2], q(v.formula), q(format.display(at.atSpecimen)))
        .arg(q(format.display(at.measured)));
}

QStringList validityParagraphs(const RecordValidity& v, const NumberFormat& format) {
    if (!v.validity) {
        if (v.problem.empty()) return {};
        return {QStringLiteral("Not known: %1.").arg(q(v.problem))};
    }
    QStringList out{validitySource(v, format)};
    for (int a = 0; a < kAngleCount; ++a) out << angleValidity(v, a, format);
    return out;
}

QImage renderCertificate(const CheckRecord& record, const RecordSpectra& spectra, int dpi,
                         const RecordValidity& validity) {
    return renderA4Page(dpi,
                        [&](QPainter& p, int at) { paint(p, record, spectra, at, validity, {}); });
}

bool writeCertificate(const CheckRecord& record, const RecordSpectra& spectra,
                      const QString& pdfPath, QString* error, const RecordValidity& validity,
                      const Clearance& issued) {
    return writeA4Pdf(
        pdfPath, QStringLiteral("Check certificate %1").arg(record.id),
        [&](QPainter& p, int at) { paint(p, record, spectra, at, validity, issued); }, error);
}

std::string certificateName(const CheckRecord& record) {
    return "Certificate_" + fileNameSerial(record.serial) + "_" + resultTimestamp(record.time) +
           ".pdf";
}

bool saveCertificateAs(const CheckRecord& record, const Seams& seams, std::string* savedTo) {
    Prompter& prompter = seams.prompter;
    // A certificate vouches for the instrument: not while its checks are overdue, unless a
    // supervisor says why.
    const Clearance issued = clearance(seams.logbook, prompter, record.serial,
                                       localTimeOf(seams.clock.calendarSeconds()));
    if (!issued.cleared) return false;
    const auto path = prompter.askSaveFile(seams.state.dataFolder() + "/" + certificateName(record),
                                           "PDF documents (*.pdf)");
    if (!path) return false;
    QString error;
    const RecordSpectra spectra = recordSpectra(record, seams.files, seams.format, seams.strings);
    const RecordValidity validity =
        seams.logbook
            ? recordValidity(record, *seams.logbook, seams.files, seams.format, seams.strings)
            : RecordValidity{};
    if (writeCertificate(record, spectra, q(*path), &error, validity, issued)) {
        if (savedTo) *savedTo = *path;
        return true;
    }
    Message m = messageBox(kStrCertificateNotSaved, Icon::Exclamation);
    m.suffix = "\n" + error.toStdString();
    prompter.ask(m);
    return false;
}

}  // namespace qv

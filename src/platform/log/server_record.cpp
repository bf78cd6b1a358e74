// A record as the server's function takes it, and the limits both engines keep a record to.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

#include "core/tiles/tile_set.h"
#include "platform/log/logbook_schema.h"
#include "platform/log/sql_logbook.h"
#include "platform/log/sql_values.h"

namespace qv {

using namespace sqlvalues;

namespace {

// Characters as a server counts them (UTF-8 code points), not bytes.
std::size_t chars(const std::string& s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string whyRefused(const CheckRecord& r) {
    const auto over = [](const std::string& s, int most) {
        return chars(s) > static_cast<std::size_t>(most);
    };
    for (const std::string* name : {&r.serial, &r.instrumentType, &r.referenceSerial,
                                    &r.workstation, &r.operatorName, &r.formula, &r.uuid})
        if (over(*name, kMaxNameChars))
            return "a name of " + std::to_string(chars(*name)) + " characters (at most " +
                   std::to_string(kMaxNameChars) + ")";
    if (over(r.comment, kMaxTextChars) || over(r.specimen, kMaxTextChars) ||
        over(r.overdue, kMaxTextChars) || over(r.overrideReason, kMaxTextChars))
        return "a comment longer than " + std::to_string(kMaxTextChars) + " characters";
    if (r.files.size() > static_cast<std::size_t>(kMaxFiles))
        return "more than " + std::to_string(kMaxFiles) + " files";
    for (const std::string& f : r.files)
        if (over(f, kMaxPathChars)) return "a file path longer than 4096 characters";
    if (r.diagnosis)
        for (const AngleDiagnosisRecord& d : *r.diagnosis)
            if (over(d.decision, kMaxTextChars) || over(d.reason, kMaxTextChars) ||
                d.terms.size() > static_cast<std::size_t>(kMaxTerms) ||
                d.tiles.size() > kMaxTiles ||
                std::any_of(d.terms.begin(), d.terms.end(),
                            [&](const TermRecord& t) { return over(t.key, kMaxNameChars); }))
                return "a diagnosis too long to keep";
    return {};
}

namespace {

QJsonValue number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QJsonArray tilesJson(const std::vector<TileDifferenceRecord>& from) {
    QJsonArray tiles;
    for (const TileDifferenceRecord& t : from)
        tiles.append(QJsonObject{{"l", number(t.reference[0])},
                                 {"a", number(t.reference[1])},
                                 {"b", number(t.reference[2])},
                                 {"read_l", number(t.read[0])},
                                 {"read_a", number(t.read[1])},
                                 {"read_b", number(t.read[2])},
                                 {"held_out_l", number(t.heldOut[0])},
                                 {"held_out_a", number(t.heldOut[1])},
                                 {"held_out_b", number(t.heldOut[2])}});
    return tiles;
}

QJsonArray diagnosisJson(const DiagnosisRecord& diagnosis) {
    QJsonArray out;
    for (const AngleDiagnosisRecord& d : diagnosis) {
        QJsonArray terms;
        for (const TermRecord& t : d.terms)
            terms.append(QJsonObject{{"term", text(t.key)},
                                     {"estimate", number(t.value)},
                                     {"standard_error", number(t.standardError)},
                                     {"identified", int(t.identified)}});
        out.append(QJsonObject{{"decision", text(d.decision)},
                               {"reason", text(d.reason)},
                               {"mean_after_factors", number(d.meanAfterFactors)},
                               {"mean_after_model", number(d.meanAfterModel)},
                               {"held_out_rms", number(d.heldOutRmsAfterFactors)},
                               {"l_low", number(d.lightnessLow)},
                               {"l_high", number(d.lightnessHigh)},
                               {"c_low", number(d.chromaLow)},
                               {"c_high", number(d.chromaHigh)},
                               {"h_from", number(d.hueFrom)},
                               {"h_to", number(d.hueTo)},
                               {"terms", terms},
                               {"tiles", tilesJson(d.tiles)}});
    }
    return out;
}

}  // namespace

// The record as the server's function takes it: its columns by name, its rows as arrays.
QByteArray serverRecordJson(const CheckRecord& r, const std::string& digest) {
    QJsonArray angles, files;
    for (const AngleRecord& g : r.angles)
        angles.append(QJsonObject{{"l", number(g.lab[0])},
                                  {"a", number(g.lab[1])},
                                  {"b", number(g.lab[2])},
                                  {"delta_e", number(g.deltaE)},
                                  {"before_delta_e", number(g.beforeDeltaE)},
                                  {"sd_l", number(g.sd[0])},
                                  {"sd_a", number(g.sd[1])},
                                  {"sd_b", number(g.sd[2])},
                                  {"largest", number(g.largest)},
                                  {"rms", number(g.rms)}});
    for (const std::string& f : r.files) files.append(text(f));
    QJsonObject o{
        {"kind", text(std::string(kindName(r.kind)))},
        {"serial", text(r.serial)},
        {"instrument_type", text(r.instrumentType)},
        {"reference_serial", text(r.referenceSerial)},
        {"time", text(logbookTime(r.time))},
        {"threshold", number(r.threshold)},
        {"formula", text(r.formula)},
        {"passed", r.passed ? QJsonValue(int(*r.passed)) : QJsonValue()},
        {"entry", r.entry},
        {"comment", text(r.comment)},
        {"operator", text(r.operatorName)},
        {"uuid", text(r.uuid)},
        {"workstation", text(r.workstation)},
        {"readings", r.readings},
        {"handling", int(r.handling)},
        {"specimen", text(r.specimen)},
        {"factors", text(factorsText(r.factors))},
        {"utc_offset", r.utcOffsetMinutes ? QJsonValue(*r.utcOffsetMinutes) : QJsonValue()},
        {"instant", text(logbookInstant(r.time, r.utcOffsetMinutes))},
        {"overdue", text(r.overdue)},
        {"override_reason", text(r.overrideReason)},
        {"angles", angles},
        {"files", files}};
    if (!digest.empty()) o.insert(QStringLiteral("digest"), text(digest));
    if (r.diagnosis) o.insert(QStringLiteral("diagnoses"), diagnosisJson(*r.diagnosis));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace qv

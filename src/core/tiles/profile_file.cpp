#include "core/tiles/profile_file.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/tiles/diagnosis_record.h"

namespace qv {

namespace {

namespace key = profile_key;

constexpr int kDecimals = 9;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kAngleColumn = "Angle";

void value(CsvWriter& w, double v) {
    std::isfinite(v) ? w.number(v, kDecimals) : w.field(kEmptyField);
}

std::string termKeys(const std::vector<Term>& terms) {
    std::string out;
    for (Term t : terms) out += (out.empty() ? "" : " ") + std::string(termInfo(t).key);
    return out;
}

void header(CsvWriter& w, const ProfileFile& f) {
    w.field(kEnglishDateKey).last(resultTimestamp(f.time)).endLine();
    w.field(key::kVersion).last(std::to_string(kProfileFileVersion)).endLine();
    w.field(key::kInstrument).last(f.serial).endLine();
    w.field(key::kMaster).last(f.master).endLine();
    w.field(key::kSet).last(f.setName).endLine();
    w.field(key::kSetRecord).last(std::to_string(f.setRecord)).endLine();
    w.field(key::kValidUntil).last(resultTimestamp(f.validUntil)).endLine();
    w.endLine();
}

void angleRows(CsvWriter& w, const Profile& p) {
    w.field(kAngleColumn).field("Ridge").field("Held-out mean").field("Held-out 95%");
    w.field("Tiles").last("Unseen").endLine();
    for (const AngleProfile& a : p.angles) {
        w.field(std::to_string(a.angleDegrees));
        value(w, a.ridge);
        value(w, a.leaveOneOut.mean);
        value(w, a.leaveOneOut.percentile95);
        w.field(std::to_string(a.leaveOneOut.tiles)).last(termKeys(a.unseen)).endLine();
    }
    w.endLine();
}

void termRows(CsvWriter& w, const Profile& p) {
    w.field(kAngleColumn).field("Term").field("Value").field("Standard error");
    w.last("Identified").endLine();
    for (const AngleProfile& a : p.angles)
        for (std::size_t t = 0; t < kTermCount; ++t) {
            const TermEstimate& e = a.terms[t];
            w.field(std::to_string(a.angleDegrees)).field(termInfo(Term(t)).key);
            value(w, e.value);
            value(w, e.standardError);
            w.last(e.identified ? "yes" : "no").endLine();
        }
    w.endLine();
}

void stageRows(CsvWriter& w, const Profile& p) {
    w.field(kAngleColumn).field("Stage");
    for (int nm = kStartNm; nm < kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.last(std::to_string(kEndNm) + "nm").endLine();
    for (const AngleProfile& a : p.angles)
        for (const auto& [name, values] : {std::pair{"offset", &a.offset}, {"slope", &a.slope}}) {
            w.field(std::to_string(a.angleDegrees)).field(name);
            for (double v : *values) value(w, v);
            w.endLine();
        }
}

constexpr std::string_view kMasterReading = "master";
constexpr std::string_view kInstrumentReading = "instrument";

void tileRows(CsvWriter& w, const ProfileFile& f) {
    w.endLine();
    w.field(kAngleColumn).field("Tile").field("Reading");
    for (int nm = kStartNm; nm < kEndNm; nm += kStepNm) w.field(std::to_string(nm) + "nm");
    w.last(std::to_string(kEndNm) + "nm").endLine();
    for (std::size_t k = 0; k < f.tiles.size(); ++k)
        for (int a = 0; a < kAngleCount; ++a)
            for (const auto& [reading, values] : {std::pair{kMasterReading, &f.tiles[k].target[a]},
                                                  {kInstrumentReading, &f.tiles[k].sample[a]}}) {
                w.field(std::to_string(kAngleDegrees[a])).field(f.tileNames[k]).field(reading);
                for (int j = 0; j < kSpectrumPoints; ++j) value(w, (*values)[std::size_t(j)]);
                w.endLine();
            }
}

// Where the file has what: the header, then after a blank line each table's heading and rows.
constexpr std::size_t kHeaderLines = 7;
constexpr std::size_t kAngleHeading = kHeaderLines + 2;
constexpr std::size_t kTermHeading = kAngleHeading + kAngleCount + 2;
constexpr std::size_t kStageHeading = kTermHeading + kAngleCount * kTermCount + 2;
constexpr std::size_t kLastLine = kStageHeading + 2 * kAngleCount;

// A number, or "---" for one that is not finite (`none`).
std::optional<double> number(std::string_view field, const NumberFormat& format, double none) {
    if (field == kEmptyField) return none;
    return format.readFile(field);
}

// The value of header line `line` under `k`; nothing when the line is another.
std::optional<std::string> keyed(const CsvTable& t, std::size_t line, std::string_view k) {
    if (t.fieldCount(line - 1) != 2 || t.at(line - 1, 0) != k) return std::nullopt;
    return std::string(t.at(line - 1, 1));
}

std::string readHeader(const CsvTable& t, ProfileFile& f) {
    const auto version = keyed(t, 2, key::kVersion);
    if (!version || (*version != "1" && *version != std::to_string(kProfileFileVersion)))
        return atLine(2, "not a profile of version 1 or " + std::to_string(kProfileFileVersion));
    const auto serial = keyed(t, 3, key::kInstrument);
    const auto master = keyed(t, 4, key::kMaster);
    const auto set = keyed(t, 5, key::kSet);
    const auto record = keyed(t, 6, key::kSetRecord);
    const auto until = keyed(t, 7, key::kValidUntil);
    const std::size_t bad = !serial || trimmedSerial(*serial).empty()   ? 3
                            : !master || trimmedSerial(*master).empty() ? 4
                            : !set                                      ? 5
                            : !record || record->empty() || record->size() > 18 ||
                                    record->find_first_not_of("0123456789") != std::string::npos
                                ? 6
                            : !until || !fromResultTimestamp(*until) ? 7
                                                                     : 0;
    if (bad != 0) return atLine(bad, "not the profile's header line");
    f.serial = trimmedSerial(*serial);
    f.master = trimmedSerial(*master);
    f.setName = *set;
    f.setRecord = std::stoll(*record);
    f.validUntil = *fromResultTimestamp(*until);
    return {};
}

// Row `line` begins with angle `a`'s label and holds `fields` fields (the last may be empty).
bool angleLine(const CsvTable& t, std::size_t line, int a, std::size_t fields) {
    return t.at(line - 1, 0) == std::to_string(kAngleDegrees[a]) &&
           t.fieldCount(line - 1) == fields;
}

std::optional<std::vector<Term>> termsFromKeys(std::string_view keys) {
    std::vector<Term> out;
    while (!keys.empty()) {
        const std::size_t blank = keys.find(' ');
        const auto term = termFromKey(keys.substr(0, blank));
        if (!term) return std::nullopt;
        out.push_back(*term);
        keys = blank == std::string_view::npos ? std::string_view() : keys.substr(blank + 1);
    }
    return out;
}

std::string readAngles(const CsvTable& t, const NumberFormat& format, Profile& p) {
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t line = kAngleHeading + 1 + std::size_t(a);
        AngleProfile& ap = p.angles[a];
        ap.angleDegrees = kAngleDegrees[a];
        const auto ridge = number(t.at(line - 1, 1), format, INFINITY);
        // A profile always states how far it misses a tile left out.
        const auto mean = format.readFile(t.at(line - 1, 2));
        const auto p95 = format.readFile(t.at(line - 1, 3));
        const auto tiles = format.readFile(t.at(line - 1, 4));
        const auto unseen = termsFromKeys(t.at(line - 1, 5));
        if (!angleLine(t, line, a, 6) || !ridge || !(*ridge >= 0.0) || !mean || !(*mean >= 0.0) ||
            !p95 || !(*p95 >= 0.0) || !tiles || !(*tiles >= 0.0 && *tiles < 1e6) || !unseen)
            return atLine(line, "not the " + std::to_string(kAngleDegrees[a]) + "° profile row");
        ap.ridge = *ridge;
        ap.leaveOneOut = {*mean, *p95, static_cast<std::size_t>(*tiles)};
        ap.unseen = *unseen;
    }
    return {};
}

std::string readTerms(const CsvTable& t, const NumberFormat& format, Profile& p) {
    std::size_t line = kTermHeading + 1;
    for (int a = 0; a < kAngleCount; ++a)
        for (std::size_t k = 0; k < kTermCount; ++k, ++line) {
            const auto v = number(t.at(line - 1, 2), format, kNone);
            const auto se = number(t.at(line - 1, 3), format, INFINITY);
            const std::string_view identified = t.at(line - 1, 4);
            // An identified term is applied: it must be a finite number.
            if (!angleLine(t, line, a, 5) || t.at(line - 1, 1) != termInfo(Term(k)).key || !v ||
                !se || (identified != "yes" && identified != "no") ||
                (identified == "yes" && !std::isfinite(*v)))
                return atLine(line, "not the " + std::string(termInfo(Term(k)).key) + " row");
            p.angles[a].terms[k] = {*v, *se, identified == "yes", *se, *se};
        }
    return {};
}

std::string readStage(const CsvTable& t, const NumberFormat& format, Profile& p) {
    std::size_t line = kStageHeading + 1;
    for (int a = 0; a < kAngleCount; ++a)
        for (auto* values : {&p.angles[a].offset, &p.angles[a].slope}) {
            const char* name = values == &p.angles[a].offset ? "offset" : "slope";
            if (!angleLine(t, line, a, 2 + kSpectrumPoints + 1) || t.at(line - 1, 1) != name)
                return atLine(line, "not the " + std::string(name) + " row");
            for (std::size_t j = 0; j < kSpectrumPoints; ++j) {
                const auto v = format.readFile(t.at(line - 1, 2 + j));
                if (!v) return atLine(line, "not a number in column " + std::to_string(j + 3));
                (*values)[j] = *v;
            }
            ++line;
        }
    return {};
}

// The tiles' readings after the stage: for each tile, per angle the master's row and the
// instrument's, each tile named alike in its six rows.
std::string readTiles(const CsvTable& t, const NumberFormat& format, ProfileFile& f) {
    const std::size_t first = kLastLine + 3;
    if (t.fieldCount(kLastLine) > 1 || t.at(kLastLine + 1, 1) != "Tile")
        return atLine(kLastLine + 2, "not the heading of the tiles' readings");
    if ((t.lines.size() + 1 - first) % (2 * kAngleCount) != 0)
        return atLine(t.lines.size(), "not a tile's whole readings");
    for (std::size_t line = first; line <= t.lines.size(); ++line) {
        const std::size_t row = line - first;
        const int a = int(row / 2 % kAngleCount);
        const bool master = row % 2 == 0;
        if (!angleLine(t, line, a, 3 + kSpectrumPoints + 1) ||
            t.at(line - 1, 2) != (master ? kMasterReading : kInstrumentReading) ||
            (row % (2 * kAngleCount) != 0 && t.at(line - 1, 1) != f.tileNames.back()))
            return atLine(line, "not a tile's reading row");
        if (row % (2 * kAngleCount) == 0) {
            f.tileNames.emplace_back(t.at(line - 1, 1));
            f.tiles.emplace_back();
        }
        AngleSpectrum& values = master ? f.tiles.back().target[a] : f.tiles.back().sample[a];
        for (std::size_t j = 0; j < kSpectrumPoints; ++j) {
            const auto v = format.readFile(t.at(line - 1, 3 + j));
            if (!v) return atLine(line, "not a number in column " + std::to_string(j + 4));
            values.push_back(*v);
        }
    }
    return {};
}

}  // namespace

FileRead<ProfileFile> readProfileFile(std::string_view text, const NumberFormat& format,
                                      const StringTable&, const CsvLimits& limits) {
    const std::size_t most = kLastLine + 2 + 2 * kAngleCount * kMaxProfileFileTiles;
    const CsvReadResult csv = readLeadingLines(text, most + 1, format, limits);
    if (!csv.ok())
        return {{},
                atLine(std::max<std::size_t>(csv.errorLine, 1),
                       "more or longer lines than a "
                       "profile has")};
    const CsvTable& t = csv.table;
    // Version 1 ends with the stage; version 2 has a blank line, the tiles' heading and rows.
    const bool first = t.lines.size() >= 2 && t.fieldCount(1) == 2 && t.at(1, 1) == "1";
    const std::size_t least = first ? kLastLine : kLastLine + 2;
    if (t.lines.size() < least || t.lines.size() > (first ? kLastLine : most))
        return {{},
                atLine(std::min(t.lines.size(), least) + 1, t.lines.size() < least
                                                                ? "the profile ends early"
                                                                : "more lines than a profile has")};
    ProfileFile f;
    const auto time = resultDateLine(t);
    if (!time) return {{}, atLine(1, "not the date line of a result file")};
    f.time = *time;
    std::string why = readHeader(t, f);
    if (why.empty()) why = readAngles(t, format, f.profile);
    if (why.empty()) why = readTerms(t, format, f.profile);
    if (why.empty()) why = readStage(t, format, f.profile);
    if (why.empty() && !first) why = readTiles(t, format, f);
    if (!why.empty()) return {{}, why};
    return {std::move(f), {}};
}

namespace {
constexpr std::string_view kVirtualMaster = "virtual master of ";
}  // namespace

std::string virtualMasterName(int instruments) {
    return std::string(kVirtualMaster) + std::to_string(instruments) + " instruments";
}

bool isVirtualMaster(std::string_view master) {
    return master.substr(0, kVirtualMaster.size()) == kVirtualMaster;
}

std::string formatProfileFile(const ProfileFile& f, const NumberFormat& format) {
    CsvWriter w(format);
    header(w, f);
    angleRows(w, f.profile);
    termRows(w, f.profile);
    stageRows(w, f.profile);
    tileRows(w, f);
    return w.take();
}

SavedFile writeProfileFile(FileStore& files, const std::string& folder, const ProfileFile& f,
                           const NumberFormat& format) {
    return saveResultFile(files, folder, "Profile_" + resultTimestamp(f.time),
                          formatProfileFile(f, format));
}

bool isProfileFile(const CsvTable& head, const StringTable&) {
    return head.at(1, 0) == key::kVersion;
}

CheckRecord profileRecord(const ProfileFile& f, const std::string& path) {
    CheckRecord r = emptyRecord(RecordKind::Profile, f.time);
    r.serial = f.serial;
    r.referenceSerial = f.master;
    for (int a = 0; a < kAngleCount; ++a) {
        const HeldOutResidual& h = f.profile.angles[a].leaveOneOut;
        r.angles[a].deltaE = h.mean;
        r.angles[a].largest = h.percentile95;
        r.readings = static_cast<int>(h.tiles);
    }
    r.comment =
        f.setName +
        (f.setRecord > 0 ? ", tile-set record " + std::to_string(f.setRecord) : std::string()) +
        ", valid until " + calendarDate(f.validUntil);
    if (!path.empty()) r.files.push_back(path);
    return r;
}

}  // namespace qv

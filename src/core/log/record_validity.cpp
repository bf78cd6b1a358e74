#include "core/log/record_validity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "core/app/thresholds.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/files/coefficient_file.h"

namespace qv {

namespace {

// Larger than any record file the program writes, by far.
constexpr std::size_t kMaxRecordFileBytes = 1024 * 1024;

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

auto timeKey(const LocalTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

bool samePair(const CheckRecord& r, const CheckRecord& write) {
    return r.serial == write.serial &&
           (write.referenceSerial.empty() || r.referenceSerial == write.referenceSerial);
}

// The latest record of `kind` of the write's pair, no later than the write, that `usable`
// accepts.
template <typename Usable>
std::optional<CheckRecord> latestBefore(const std::vector<CheckRecord>& records,
                                        const CheckRecord& write, RecordKind kind, Usable usable) {
    std::optional<CheckRecord> best;
    for (const CheckRecord& r : records) {
        if (r.kind != kind || !samePair(r, write) || !usable(r)) continue;
        if (timeKey(r.time) > timeKey(write.time)) continue;
        if (!best || timeKey(r.time) > timeKey(best->time)) best = r;
    }
    return best;
}

struct EntryRead {
    ThreeAngles specimen;
    AngleFactors factors{};
    std::string problem;
};

// The reference's reading of the specimen and the factors written, from the record file.
EntryRead readEntry(const CheckRecord& write, FileStore& files, const NumberFormat& user,
                    const StringTable& texts) {
    EntryRead out;
    if (write.files.empty()) {
        out.problem = "the record names no coefficient record file";
        return out;
    }
    const std::string name = fileName(write.files.front());
    std::string text;
    if (!files.readAll(write.files.front(), kMaxRecordFileBytes, text)) {
        out.problem = name + " cannot be read (moved or deleted?)";
        return out;
    }
    const CoefficientFileRead read = readCoefficientFile(text, user, texts);
    if (!read.accepted) {
        out.problem = name + " is not a coefficient record file";
        return out;
    }
    if (read.sampleSerial && *read.sampleSerial != write.serial) {
        out.problem = name + " holds the instrument " + *read.sampleSerial + ", not the record's";
        return out;
    }
    const BlocksResult blocks = buildCoefficientBlocks(read.target, read.sample);
    if (!blocks.ok()) {
        out.problem = name + " holds a factor out of range (" + describe(*blocks.outOfRange) + ")";
        return out;
    }
    for (int a = 0; a < kAngleCount; ++a) {
        if (read.target[a].size() < kSpectrumPoints) {
            out.problem = name + " lacks reflectances of the reference";
            return out;
        }
        out.specimen[a].assign(read.target[a].begin(), read.target[a].begin() + kSpectrumPoints);
        for (int k = 0; k < kBlockWavelengths; ++k)
            out.factors[a][k] = blocks.blocks[a][kBlockWavelengths + k];
    }
    out.factors = writtenFactors(out.factors);
    return out;
}

bool changesAnEntry(const CheckRecord& r) {
    return r.kind == RecordKind::EntryWrite || r.kind == RecordKind::EntryDeletion;
}

// The verification of the entry: the first of the pair after the write, in the formula the
// residual is judged in, before the instrument's entries change again.
std::optional<CheckRecord> verificationOf(std::vector<CheckRecord> records,
                                          const CheckRecord& write, const std::string& formula) {
    const auto order = [](const CheckRecord& r) { return std::make_tuple(timeKey(r.time), r.id); };
    std::sort(records.begin(), records.end(),
              [&](const CheckRecord& x, const CheckRecord& y) { return order(x) < order(y); });
    for (const CheckRecord& r : records) {
        if (order(r) <= order(write)) continue;
        if (changesAnEntry(r)) break;
        if (r.kind == RecordKind::Verification && samePair(r, write) && r.formula == formula)
            return r;
    }
    return std::nullopt;
}

// What the verification measured at the specimen, and how far reading noise may take it.
SpecimenCheck specimenCheck(const CheckRecord& verification,
                            const std::optional<CheckRecord>& repeatability) {
    SpecimenCheck out;
    for (int a = 0; a < kAngleCount; ++a) {
        out.measured[a] = verification.angles[a].deltaE;
        out.allowance[a] = kDefaultRepeatThreshold;
        if (!repeatability) continue;
        const double measured = repeatability->angles[a].deltaE;
        out.allowance[a] = std::isfinite(measured) ? std::max(repeatability->threshold, measured)
                                                   : repeatability->threshold;
    }
    return out;
}

// The validity of each angle kept where the entry's verification confirms it at the specimen.
void confirmByVerification(RecordValidity& out, const std::vector<CheckRecord>& records,
                           const CheckRecord& write) {
    out.verification = verificationOf(records, write, out.formula);
    if (!out.verification) {
        confirmAtSpecimen(*out.validity, std::nullopt);
        return;
    }
    // The instrument's own check, of no pair: searched for without the reference.
    CheckRecord instrumentAlone = *out.verification;
    instrumentAlone.referenceSerial.clear();
    out.repeatability =
        latestBefore(records, instrumentAlone, RecordKind::Repeatability,
                     [](const CheckRecord& r) { return std::isfinite(r.threshold); });
    confirmAtSpecimen(*out.validity, specimenCheck(*out.verification, out.repeatability));
}

// "no tile set of L70S-200002 and reference L70S-100001 diagnosed before the write".
std::string noSet(const CheckRecord& write) {
    std::string pair = "instrument " + write.serial;
    if (!write.referenceSerial.empty()) pair += " and reference " + write.referenceSerial;
    return "no tile set of " + pair + " diagnosed before the write is on record";
}

}  // namespace

std::optional<DeltaEFormula> formulaFromLabel(const std::string& label,
                                              DeltaEParameters* parameters) {
    for (DeltaEFormula f : {DeltaEFormula::Cie76, DeltaEFormula::Cie94, DeltaEFormula::Ciede2000})
        if (label == displayLabel(f)) return f;
    // "dE CMC(l:c)" with the two weights as the label gives them.
    double l = 0.0, c = 0.0;
    char close = 0;
    if (std::sscanf(label.c_str(), "dE CMC(%lf:%lf%c", &l, &c, &close) != 3 || close != ')' ||
        !(l > 0.0) || !(c > 0.0))
        return std::nullopt;
    if (parameters) {
        parameters->cmcL = l;
        parameters->cmcC = c;
    }
    return DeltaEFormula::Cmc;
}

RecordValidity recordValidity(const CheckRecord& write, Logbook& logbook, FileStore& files,
                              const NumberFormat& user, const StringTable& texts) {
    RecordValidity out;
    if (write.kind != RecordKind::EntryWrite) return out;
    if (write.passed == false) {
        out.problem = "the write did not complete, and the entry is not used";
        return out;
    }
    const std::vector<CheckRecord> records = logbook.records(write.serial);
    out.set = latestBefore(records, write, RecordKind::TileSet,
                           [](const CheckRecord& r) { return r.diagnosis.has_value(); });
    if (!out.set) {
        out.problem = noSet(write);
        return out;
    }
    DeltaEParameters parameters;
    out.check = latestBefore(records, write, RecordKind::InterInstrument, [](const CheckRecord& r) {
        return std::isfinite(r.threshold) && formulaFromLabel(r.formula);
    });
    out.threshold = out.check ? out.check->threshold : kDefaultInstThreshold;
    out.formula = out.check ? out.check->formula : out.set->formula;
    auto formula = formulaFromLabel(out.formula, &parameters);
    if (!formula) {
        formula = DeltaEFormula::Cie76;
        out.formula = displayLabel(*formula);
    }
    const EntryRead entry = readEntry(write, files, user, texts);
    if (!entry.problem.empty()) {
        out.problem = entry.problem;
        return out;
    }
    const auto tiles = static_cast<std::size_t>(std::max(out.set->readings, 0));
    ValidityBasis basis{termsFromRecord(*out.set->diagnosis, tiles),
                        entry.specimen,
                        entry.factors,
                        *formula,
                        out.threshold,
                        parameters};
    out.validity = entryValidity(basis);
    if (!out.validity) {
        out.problem = "the record file's readings are incomplete";
        return out;
    }
    confirmByVerification(out, records, write);
    return out;
}

}  // namespace qv

// Result files reach the logbook from whatever folder the operator names: whatever one holds,
// reading it either gives a check with a serial, a real time and finite values where its kind
// has them, or says why not, naming a line; and the user's separators never change the outcome,
// since a file says its own.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/files/extended_repeatability_file.h"
#include "core/log/result_file_import.h"
#include "core/log/result_kinds.h"
#include "fuzz_check.h"
#include "fuzz_file_texts.h"

namespace {

// The headings only these files have, besides the shared keys and block titles.
class ResultFileTexts : public qv::fuzz::FileKeyTexts {
public:
    std::string text(int id) const override {
        switch (id) {
            case 192:
                return "dE";
            case 230:
                return "dE before correction";
            default:
                return FileKeyTexts::text(id);
        }
    }
};

void checkRecord(const qv::CheckRecord& r) {
    using qv::RecordKind;
    FUZZ_CHECK(!r.serial.empty() && r.files.empty() && r.id == 0);
    FUZZ_CHECK(r.time.year >= 1 && r.time.month >= 1 && r.time.month <= 12 && r.time.day >= 1 &&
               r.time.day <= 31 && r.time.hour >= 0 && r.time.hour <= 23 && r.time.minute >= 0 &&
               r.time.minute <= 59 && r.time.second >= 0 && r.time.second <= 59);
    // Over many readings a difference may be missing ("---"), never below zero.
    const bool extended = r.kind == RecordKind::ExtendedRepeatability;
    const bool judged = r.kind != RecordKind::EntryWrite && !extended;
    if (extended) FUZZ_CHECK(r.readings >= 2 && r.readings <= qv::kMaxReadingsInFile);
    FUZZ_CHECK(r.kind != RecordKind::EntryDeletion);
    FUZZ_CHECK(std::isfinite(r.threshold) == (r.kind == RecordKind::TileSet));
    FUZZ_CHECK(r.passed.has_value() == (r.kind == RecordKind::TileSet));
    for (const qv::AngleRecord& a : r.angles) {
        if (extended)
            for (double v : {a.deltaE, a.largest, a.sd[0], a.sd[1], a.sd[2]})
                FUZZ_CHECK(std::isnan(v) || (std::isfinite(v) && v >= 0.0));
        else
            FUZZ_CHECK(std::isfinite(a.deltaE) == judged);
        if (r.kind == RecordKind::Verification) FUZZ_CHECK(std::isfinite(a.beforeDeltaE));
        for (double v : a.lab) FUZZ_CHECK(std::isnan(v) || std::isfinite(v));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto file = qv::fuzz::fuzzFile(data, size);
    const ResultFileTexts texts;
    const qv::ResultFileRead read = qv::recordFromResultFile(file.text, file.format, texts);
    if (read.record) {
        FUZZ_CHECK(read.ours && read.reason.empty());
        checkRecord(*read.record);
    } else if (read.ours) {
        // Only a kind that makes no record is ours without one, and says why in its own words.
        bool told = false;
        for (const qv::ResultKindRow& kind : qv::resultKinds())
            told = told || (!kind.record && read.reason == kind.noRecord);
        FUZZ_CHECK(told);
    } else {
        FUZZ_CHECK(read.reason.rfind("line ", 0) == 0 && std::atoi(read.reason.c_str() + 5) >= 1);
    }
    const qv::NumberFormat other{file.format.decimalSeparator == ',' ? '.' : ',',
                                 file.format.listSeparator == ";" ? "," : ";"};
    const qv::ResultFileRead again = qv::recordFromResultFile(file.text, other, texts);
    FUZZ_CHECK(again.reason == read.reason && again.ours == read.ours);
    FUZZ_CHECK(again.record.has_value() == read.record.has_value());
    FUZZ_CHECK(!read.record || again.record->serial == read.record->serial);
    const std::string digest = qv::contentDigest(file.text);
    FUZZ_CHECK(digest.size() == 16 && digest.find_first_not_of("0123456789abcdef") == digest.npos);
    return 0;
}

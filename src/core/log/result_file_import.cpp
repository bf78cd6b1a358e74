#include "core/log/result_file_import.h"

#include "core/log/result_kinds.h"

namespace qv {

ResultFileRead recordFromResultFile(std::string_view text, const NumberFormat& userFormat,
                                    const StringTable& texts) {
    const KnownResultFile known = knownResultFile(text, userFormat, texts);
    if (!known.kind) return {std::nullopt, false, known.problem};
    FileRead<ResultContents> read = known.kind->read(text, known.format, texts, {});
    if (!read.contents) return {std::nullopt, false, std::move(read.problem)};
    if (!known.kind->record) return {std::nullopt, true, std::string(known.kind->noRecord)};
    FileRead<CheckRecord> record = known.kind->record(*read.contents);
    if (!record.contents) return {std::nullopt, false, std::move(record.problem)};
    return {std::move(record.contents), true, {}};
}

std::string contentDigest(std::string_view bytes) {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kPrime;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<std::size_t>(i)] = kDigits[hash & 15];
    return out;
}

}  // namespace qv

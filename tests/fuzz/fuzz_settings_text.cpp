// Saved settings are text anyone can edit: the numbers read from them and the port names
// ordered for the port list. Input: lines; each is read as a number, and the first three are
// ordered as port names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/number_format.h"
#include "core/link/port_names.h"
#include "fuzz_check.h"

namespace {

// What atoi would give, saturated instead of undefined.
long referenceInt(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

void checkNumbers(const std::string& line) {
    FUZZ_CHECK(qv::leadingInt(line) == referenceInt(line));
    const double d = qv::leadingDouble(line);
    const std::string fixed = qv::formatFixed(d, 2);
    FUZZ_CHECK(!fixed.empty());
    FUZZ_CHECK(!qv::formatGeneral(d).empty());
    const qv::NumberFormat comma{',', ";"};
    FUZZ_CHECK(comma.fixed(d, 2).size() == fixed.size());
}

void checkOrder(const std::string& a, const std::string& b, const std::string& c) {
    using qv::naturalLess;
    FUZZ_CHECK(!naturalLess(a, a));
    FUZZ_CHECK(!(naturalLess(a, b) && naturalLess(b, a)));
    if (a != b) FUZZ_CHECK(naturalLess(a, b) || naturalLess(b, a));
    // The port list is sorted with it: the order must be transitive.
    if (naturalLess(a, b) && naturalLess(b, c)) FUZZ_CHECK(naturalLess(a, c));
    if (naturalLess(c, b) && naturalLess(b, a)) FUZZ_CHECK(naturalLess(c, a));

    const std::vector<std::string> list = qv::orderPortList({a, b}, c);
    FUZZ_CHECK(list.size() >= 2 && list.size() <= 3);
    FUZZ_CHECK(std::is_sorted(list.begin(), list.end(), naturalLess));
    FUZZ_CHECK(qv::portDevicePath(a).size() >= a.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\n', start);
        lines.emplace_back(input.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    for (const std::string& line : lines) checkNumbers(line);
    lines.resize(std::max<std::size_t>(lines.size(), 3));
    checkOrder(lines[0], lines[1], lines[2]);
    return 0;
}

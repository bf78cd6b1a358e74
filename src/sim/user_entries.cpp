#include "sim/user_entries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace qv::sim {
namespace {

constexpr std::string_view kHeader = "qvl70s-sim state 1";
constexpr std::size_t kMaxStateBytes = 16u << 20;

std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(sep);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// The texts of an entry as the instrument accepts them over the line.
bool printable(std::string_view text, std::size_t maxChars) {
    if (text.size() > maxChars) return false;
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

void appendNumber(std::string& out, double v) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, ec == std::errc() ? ptr : buf);
}

// entry NAME NO SEQ MASK COMMENT STAMP SERIAL VALUES (tab-separated; values blank-separated)
std::string entryLine(const std::string& name, int no, const UserEntry& e) {
    const int mask = (e.haveBlock[0] ? 1 : 0) | (e.haveBlock[1] ? 2 : 0) | (e.haveBlock[2] ? 4 : 0);
    std::string line = "entry\t" + name + "\t" + std::to_string(no) + "\t" +
                       std::to_string(e.sequence) + "\t" + std::to_string(mask) + "\t" +
                       (e.written ? "1" : "0") + "\t" + e.comment + "\t" + e.timeStamp + "\t" +
                       e.serial + "\t";
    for (int a = 0; a < kAngleCount; ++a) {
        for (int i = 0; i < kBlockValues; ++i) {
            if (a || i) line += ' ';
            appendNumber(line, e.blocks[a][i]);
        }
    }
    return line + "\n";
}

bool parseEntryLine(std::string_view line, EntryStore& store) {
    const auto f = split(line, '\t');
    int no = 0;
    int mask = 0;
    UserEntry e;
    if (f.size() != 10 || f[0] != "entry" || f[1].empty()) return false;
    if (!parseNumber(f[2], no) || no < 1 || no > kEntryCount) return false;
    if (!parseNumber(f[3], e.sequence) || !parseNumber(f[4], mask) || mask < 0 || mask > 7)
        return false;
    if (f[5] != "0" && f[5] != "1") return false;
    if (!printable(f[6], kMaxCommentChars) || !printable(f[7], kMaxHeaderChars) ||
        !printable(f[8], kMaxHeaderChars)) {
        return false;
    }
    e.written = f[5] == "1";
    e.comment = std::string(f[6]);
    e.timeStamp = std::string(f[7]);
    e.serial = std::string(f[8]);
    const auto values = split(f[9], ' ');
    if (values.size() != static_cast<std::size_t>(kAngleCount * kBlockValues)) return false;
    for (std::size_t k = 0; k < values.size(); ++k) {
        double v = 0;
        if (!parseNumber(values[k], v) || !std::isfinite(v)) return false;
        e.blocks[k / kBlockValues][k % kBlockValues] = v;
    }
    for (int a = 0; a < kAngleCount; ++a) e.haveBlock[a] = (mask >> a) & 1;
    store[std::string(f[1])][no - 1] = e;
    return true;
}

bool readWhole(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    // Non-blocking, so that a named pipe given by mistake is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = errno == ENOENT;
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = path + ": not a regular file";
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > kMaxStateBytes) {
            ::close(fd);
            error = path + ": too large for a state file";
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

StateLoad loadState(const std::string& path, EntryStore& store, std::string& error) {
    std::string text;
    bool missing = false;
    error.clear();
    if (!readWhole(path, text, missing, error)) {
        if (!missing) return StateLoad::Refused;
        error.clear();
        return StateLoad::Read;
    }
    // An empty file holds nothing that saving could lose.
    if (text.empty()) return StateLoad::Read;
    auto lines = split(text, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty() || lines[0] != kHeader) {
        error = path + ": not a simulator state file";
        return StateLoad::Refused;
    }
    int bad = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!parseEntryLine(lines[i], store)) ++bad;
    }
    if (bad == 0) return StateLoad::Read;
    error = path + ": " + std::to_string(bad) + " damaged line(s) skipped";
    return StateLoad::Damaged;
}

bool saveState(const std::string& path, const EntryStore& store, std::string& error) {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [name, table] : store) {
        for (int i = 0; i < kEntryCount; ++i) {
            if (!table[i].empty()) text += entryLine(name, i + 1, table[i]);
        }
    }
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(written ? errno : saved);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace qv::sim

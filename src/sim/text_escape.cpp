#include "sim/text_escape.h"

namespace qv::sim {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendEscaped(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    switch (c) {
        case '\r':
            out += "\\r";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\\':
            out += "\\\\";
            return;
        default:
            break;
    }
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
        return;
    }
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

}  // namespace

std::string escapeBytes(std::string_view bytes, std::size_t maxChars) {
    std::string out;
    std::size_t i = 0;
    for (; i < bytes.size() && out.size() < maxChars; ++i) {
        appendEscaped(out, static_cast<unsigned char>(bytes[i]));
    }
    if (i < bytes.size()) out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::optional<std::string> unescapeBytes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            case 's':
                out += ' ';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                if (i + 2 >= text.size()) return std::nullopt;
                const int hi = hexValue(text[i + 1]);
                const int lo = hexValue(text[i + 2]);
                if (hi < 0 || lo < 0) return std::nullopt;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace qv::sim

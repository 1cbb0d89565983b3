#include "UStringUtil.h"

#include "UTextEncoding.h"

namespace qm {

namespace {

bool IsForbiddenInFileName(char c) noexcept {
    switch (c) {
        case '\\': case '?': case '|': case '>': case '<':
        case ':': case '/': case '*': case '"':
            return true;
        default:
            return false;
    }
}

std::string_view TrimControl(std::string_view s) noexcept {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

// Matches `pattern` at the front of `text` ignoring case; returns the number
// of bytes of `text` matched, or 0 for no match. Precondition: !pattern.empty().
std::size_t MatchIgnoreCase(std::string_view text, std::string_view pattern) noexcept {
    std::size_t ti = 0;
    std::size_t pi = 0;
    while (pi < pattern.size()) {
        if (ti >= text.size()) return 0;
        const TDecodedChar p = DecodeUtf8Char(pattern.substr(pi));
        const TDecodedChar t = DecodeUtf8Char(text.substr(ti));
        if (p.CodePoint != t.CodePoint && FoldCase(p.CodePoint) != FoldCase(t.CodePoint)) return 0;
        pi += p.Length;
        ti += t.Length;
    }
    return ti;
}

}  // namespace

std::size_t CutAtCharBoundary(std::string_view s, std::size_t limit) noexcept {
    if (s.size() <= limit) return s.size();
    std::size_t n = 0;
    while (n < s.size()) {
        const std::size_t len = DecodeUtf8Char(s.substr(n)).Length;
        if (n + len > limit) break;
        n += len;
    }
    return n;
}

std::string MakeSafeFileName(std::string_view text, bool removeSpaces) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 31) continue;  // code 0 too: the platform's file calls end a path at a NUL
        if (removeSpaces && c == ' ') continue;
        if (IsForbiddenInFileName(c)) continue;
        out.push_back(c);
    }
    std::string name(TrimControl(out));
    if (IsReservedDeviceName(name)) name.insert(0, 1, '_');
    const std::string_view trimmed = TrimControl(std::string_view(name).substr(0, CutAtCharBoundary(name, kMaxSafeBaseNameBytes)));
    return std::string(trimmed);
}

std::string EscapeControlCharacters(std::string_view text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            const auto low = static_cast<unsigned char>(text[++i]);
            out += "\\u00";
            out += kHex[low >> 4];
            out += kHex[low & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool IsReservedDeviceName(std::string_view name) noexcept {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.remove_suffix(1);
    std::string upper;
    for (char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (upper == device) return true;
    }
    if (upper.size() < 4 || (!upper.starts_with("COM") && !upper.starts_with("LPT"))) return false;
    const std::string_view number = std::string_view(upper).substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

std::string FitBaseNameToPath(std::string_view base, std::string_view folder, std::size_t extensionChars,
                              std::size_t maxPathChars) {
    const auto units = [](std::string_view text) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < text.size();) {
            const TDecodedChar c = DecodeUtf8Char(text.substr(i));
            n += c.CodePoint > 0xFFFF ? 2 : 1;
            i += c.Length;
        }
        return n;
    };
    const std::size_t fixed = units(folder) + extensionChars;
    if (fixed > maxPathChars) return {};
    std::size_t room = maxPathChars - fixed;
    std::size_t bytes = 0;
    while (bytes < base.size()) {
        const TDecodedChar c = DecodeUtf8Char(base.substr(bytes));
        const std::size_t need = c.CodePoint > 0xFFFF ? 2 : 1;
        if (need > room) break;
        room -= need;
        bytes += c.Length;
    }
    return std::string(base.substr(0, bytes));
}

std::string AddTrailingBackslash(std::string_view path) {
    if (path.empty()) return {};
    const char last = path.back();
    if (last == ':' || last == '\\') return std::string(path);
    if (path.size() == 1 && ((last >= 'A' && last <= 'Z') || (last >= 'a' && last <= 'z'))) {
        return std::string(path) + ":\\";
    }
    return std::string(path) + '\\';
}

std::string RemoveTrailingBackslash(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
    if (path.empty() || kPathDelimiters.find(path.back()) != std::string_view::npos) return std::string(path);
    return std::string(path) + kPathDelimiter;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
    if (path.size() > 1 && path.back() != ':' && kPathDelimiters.find(path.back()) != std::string_view::npos) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

std::string ExtractFilePath(std::string_view path) {
    const auto pos = path.find_last_of(kPathDelimiters);
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
    const auto pos = path.find_last_of(kPathDelimiters);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::vector<std::string> SplitString(std::string_view separator, std::string_view text,
                                     int maxPieces, int paddedLength) {
    std::vector<std::string> pieces;
    if (text.empty() || maxPieces < 0) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
    } else {
        std::size_t pos = 0;
        while (pos < text.size()) {
            const bool last = maxPieces > 0 && static_cast<int>(pieces.size()) + 1 == maxPieces;
            const std::size_t hit = last ? std::string_view::npos : text.find(separator, pos);
            if (hit == std::string_view::npos) {
                pieces.emplace_back(text.substr(pos));
                break;
            }
            pieces.emplace_back(text.substr(pos, hit - pos));
            pos = hit + separator.size();
        }
    }
    if (paddedLength > 0) pieces.resize(static_cast<std::size_t>(paddedLength));
    return pieces;
}

char32_t FoldCase(char32_t cp) noexcept {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    // Latin-1 capitals À..Þ except the multiplication sign.
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    switch (cp) {
        case 0x0160: return 0x0161;  // Š
        case 0x0152: return 0x0153;  // Œ
        case 0x017D: return 0x017E;  // Ž
        case 0x0178: return 0x00FF;  // Ÿ
        default: return cp;
    }
}

void ReplaceAllIgnoreCase(std::string& text, std::string_view oldPattern, std::string_view newText) {
    if (oldPattern.empty() || text.empty() || text.size() < oldPattern.size()) return;
    std::string out;
    out.reserve(text.size());
    const std::string_view src = text;
    std::size_t pos = 0;
    bool replaced = false;
    while (pos < src.size()) {
        const std::size_t matched = MatchIgnoreCase(src.substr(pos), oldPattern);
        if (matched > 0) {
            out.append(newText);
            pos += matched;
            replaced = true;
        } else {
            const std::size_t len = DecodeUtf8Char(src.substr(pos)).Length;
            out.append(src.substr(pos, len));
            pos += len;
        }
    }
    if (replaced) text = std::move(out);
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    const std::size_t matched = MatchIgnoreCase(a, b);
    return matched == a.size();
}

}  // namespace qm

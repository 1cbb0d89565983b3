#include "UJsonText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "UTextEncoding.h"

namespace qm {

namespace {

constexpr bool IsBlank(char c) noexcept { return static_cast<unsigned char>(c) <= 32; }

constexpr char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsAsciiIgnoreCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Characters a scan must look at: at the top level of a view (per
// separator), and inside a bracket region.
constexpr std::array<bool, 256> SpecialTable(std::string_view chars) {
    std::array<bool, 256> t{};
    for (char c : chars) t[static_cast<unsigned char>(c)] = true;
    return t;
}
constexpr auto kTopComma = SpecialTable("\"[{,");
constexpr auto kTopColon = SpecialTable("\"[{:");
constexpr auto kInBrackets = SpecialTable("\"[]{}");

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The four hex digits at `p`; raises InvalidHexNumber for any other character.
char32_t ReadHex4(const char* p) {
    char32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int h = HexValue(p[i]);
        if (h < 0) throw EJsonError("InvalidHexNumber");
        v = (v << 4) | static_cast<char32_t>(h);
    }
    return v;
}

// Appends a run without escapes: UTF-8 sequences as they are, every byte
// that does not start a valid sequence as its Windows-1252 character. The C1
// controls U+0080..U+009F read as the Windows-1252 character of that byte,
// as their "\u" escapes do, so that a written string reads back the same.
void AppendPlainRun(std::string& out, std::string_view run) {
    std::size_t i = 0;
    while (i < run.size()) {
        std::size_t j = i;
        while (j < run.size() && static_cast<unsigned char>(run[j]) < 0x80) ++j;
        out.append(run.data() + i, j - i);
        i = j;
        while (i < run.size() && static_cast<unsigned char>(run[i]) >= 0x80) {
            const TDecodedChar d = DecodeUtf8Char(run.substr(i));
            if (IsEscapedByte(d.CodePoint))
                AppendUtf8(out, Cp1252ToUnicode(static_cast<std::uint8_t>(run[i])));
            else if (d.CodePoint <= 0x9F)
                AppendUtf8(out, Cp1252ToUnicode(static_cast<std::uint8_t>(d.CodePoint)));  // as its \u escape
            else
                out.append(run.data() + i, d.Length);
            i += d.Length;
        }
    }
}

void AppendUEscape(std::string& out, char32_t unit) {
    static constexpr char kHex[] = "0123456789abcdef";
    const char buf[6] = {'\\', 'u', kHex[(unit >> 12) & 0xF], kHex[(unit >> 8) & 0xF], kHex[(unit >> 4) & 0xF],
                         kHex[unit & 0xF]};
    out.append(buf, sizeof buf);
}

}  // namespace

std::string_view TrimJson(std::string_view text) noexcept {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

const char* TJsonScanMemo::CloserOf(const char* open, const char* end) const noexcept {
    if (Known.empty()) return nullptr;
    const std::uint32_t known = Known[static_cast<std::size_t>(open - Base)];
    if (known == 0) return nullptr;
    const char* at = Base + (known & ~kUnclosed);
    if ((known & kUnclosed) == 0) return at < end ? at : end;
    return end <= at ? end : nullptr;
}

void TJsonScanMemo::Set(const char* open, std::uint32_t value) {
    if (Base == nullptr) return;
    if (Known.empty()) Known.resize(Size);
    Known[static_cast<std::size_t>(open - Base)] = value;
}

void TJsonScanMemo::Record(const char* open, const char* close) { Set(open, static_cast<std::uint32_t>(close - Base)); }

void TJsonScanMemo::RecordUnclosed(const char* open, const char* end) {
    Set(open, static_cast<std::uint32_t>(end - Base) | kUnclosed);
}

const char* TTopLevelSplitter::SkipRegion(const char* open, const char* end) {
    const char* q = open + 1;
    if (*open == '"') {
        while (q < end) {
            if (*q == '"') return q;
            if (*q == '\\' && end - q < 2) return end;
            q += (*q == '\\') ? 2 : 1;
        }
        return end;
    }
    if (const char* known = Memo->CloserOf(open, end)) return known;

    std::string& closers = Memo->Closers;
    std::vector<const char*>& opens = Memo->Opens;
    closers.assign(1, *open == '[' ? ']' : '}');
    opens.assign(1, open);
    while (q < end) {
        if (closers.back() == '"') {
            while (q < end && *q != '"' && *q != '\\') ++q;
            if (q == end) break;
            if (*q == '\\') {
                if (end - q < 2) break;
                q += 2;
                continue;
            }
            closers.pop_back();
            opens.pop_back();
            ++q;
            continue;
        }
        while (q < end && !kInBrackets[static_cast<unsigned char>(*q)]) ++q;
        if (q == end) break;
        const char c = *q;
        if (c == closers.back()) {
            Memo->Record(opens.back(), q);
            closers.pop_back();
            opens.pop_back();
            if (closers.empty()) return q;
        } else if (c == '"' || c == '[' || c == '{') {
            closers.push_back(c == '"' ? '"' : c == '[' ? ']' : '}');
            opens.push_back(q);
        }
        ++q;
    }
    // Unclosed before `end`: so is every region still open, for any view
    // that ends no later.
    for (const char* o : opens) Memo->RecordUnclosed(o, end);
    return end;
}

bool TTopLevelSplitter::Next(std::string_view& piece) {
    if (Done) return false;
    const char* const begin = Text.data();
    const char* const end = begin + Text.size();
    const auto& top = Separator == ',' ? kTopComma : kTopColon;
    const char* p = begin + Start;
    while (p < end) {
        while (p < end && !top[static_cast<unsigned char>(*p)]) ++p;
        if (p == end) break;
        if (*p == Separator) {
            piece = TrimJson(std::string_view(begin + Start, static_cast<std::size_t>(p - (begin + Start))));
            Start = static_cast<std::size_t>(p - begin) + 1;
            return true;
        }
        // A region: an unclosed one runs to the end of the text.
        const char* close = SkipRegion(p, end);
        p = close == end ? end : close + 1;
    }
    Done = true;
    piece = TrimJson(Text.substr(Start));
    return !piece.empty();
}

TJsonKind ClassifyJsonText(std::string_view text, long double& number) {
    if (text.size() >= 2) {
        const char first = text.front();
        const char last = text.back();
        if (first == '{' && last == '}') return TJsonKind::jvObject;
        if (first == '[' && last == ']') return TJsonKind::jvArray;
        if (first == '"' && last == '"') return TJsonKind::jvString;
        if (EqualsAsciiIgnoreCase(text, "null")) return TJsonKind::jvNull;
        if (EqualsAsciiIgnoreCase(text, "true") || EqualsAsciiIgnoreCase(text, "false"))
            return TJsonKind::jvBoolean;
    }
    return ParseJsonNumber(text, number) ? TJsonKind::jvNumber : TJsonKind::jvNone;
}

bool ParseJsonNumber(std::string_view text, long double& value) noexcept {
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t expStart = i;
        while (i < n && IsDigit(text[i])) ++i;
        if (i == expStart) return false;
    }
    if (i != n) return false;
    // The number is handed to strtold without a decimal point, as integer
    // digits and a decimal exponent: a radix character is the only part of
    // strtold's syntax that follows the process locale. (std::from_chars
    // would be locale-free, but MinGW's reads long double at double
    // precision and range.)
    std::string plain;
    plain.reserve(n + 24);
    if (text[0] == '-') plain += '-';
    long long exponent = 0;
    std::size_t j = mantissaStart;
    for (; j < n && IsDigit(text[j]); ++j) plain += text[j];
    if (j < n && text[j] == '.') {
        for (++j; j < n && IsDigit(text[j]); ++j, --exponent) plain += text[j];
    }
    if (j < n) {
        ++j;  // "e" or "E"
        const bool negative = text[j] == '-';
        if (text[j] == '+' || text[j] == '-') ++j;
        // Far beyond any long double: the value is out of range either way.
        constexpr long long kCap = 1'000'000'000'000LL;
        long long e = 0;
        for (; j < n; ++j) e = std::min(kCap, e * 10 + (text[j] - '0'));
        exponent += negative ? -e : e;
    }
    plain += 'e';
    plain += std::to_string(exponent);
    errno = 0;
    char* end = nullptr;
    const long double v = std::strtold(plain.c_str(), &end);
    // Overflow and underflow both set ERANGE: out of range, not a number.
    if (errno == ERANGE || end != plain.c_str() + plain.size()) return false;
    value = v;
    return true;
}

void AppendJsonNumber(std::string& out, long double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    // MinGW's long double formatting goes through the C library and writes
    // the locale's decimal separator: the text must always carry ".". No
    // other character of a formatted number can be (part of) a separator.
    bool inSeparator = false;
    for (const char* p = buf; p != r.ptr; ++p) {
        const char c = *p;
        const bool numberChar = IsDigit(c) || c == '-' || c == '+' || c == '.' || (c >= 'a' && c <= 'z');
        if (numberChar) out += c;
        else if (!inSeparator) out += '.';
        inSeparator = !numberChar;
    }
}

std::string FormatJsonNumber(long double value) {
    std::string s;
    AppendJsonNumber(s, value);
    return s;
}

void AppendDecodedJsonString(std::string& out, std::string_view inner) {
    const char* p = inner.data();
    const char* const end = p + inner.size();
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\\') ++q;
        if (q != p) AppendPlainRun(out, std::string_view(p, static_cast<std::size_t>(q - p)));
        if (q == end) break;
        // *q is a backslash.
        ++q;
        if (q == end) break;  // a final backslash is dropped
        const char c = *q++;
        switch (c) {
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                if (end - q < 4) {
                    // Too short to be an escape: the "u" and the rest stay text.
                    out.push_back('u');
                    break;
                }
                char32_t cp = ReadHex4(q);
                q += 4;
                if (cp >= 0x80 && cp <= 0x9F) {
                    // Hosts write Windows-1252 bytes in this range as byte escapes.
                    cp = Cp1252ToUnicode(static_cast<std::uint8_t>(cp));
                } else if (cp >= 0xD800 && cp <= 0xDBFF) {
                    // RFC 8259 section 7: a character above U+FFFF is a surrogate pair.
                    if (end - q >= 6 && q[0] == '\\' && q[1] == 'u') {
                        const char32_t low = ReadHex4(q + 2);
                        if (low >= 0xDC00 && low <= 0xDFFF) {
                            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                            q += 6;
                        }
                    }
                }
                AppendUtf8(out, cp);  // a lone surrogate half becomes U+FFFD
                break;
            }
            default:
                if (static_cast<unsigned char>(c) >= 0x80) {
                    // The backslash is dropped and the whole character kept:
                    // the plain run that starts at its first byte reads it
                    // like any other character (a UTF-8 sequence, or a byte
                    // that is not UTF-8 as its Windows-1252 character).
                    --q;
                    break;
                }
                // \" \/ \\ and any other ASCII character: the character itself.
                out.push_back(c);
                break;
        }
        p = q;
    }
}

void AppendEncodedJsonString(std::string& out, std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t j = i;
        while (j < n) {
            const auto b = static_cast<unsigned char>(text[j]);
            if (b < 0x20 || b >= 0x80 || b == '"' || b == '/' || b == '\\') break;
            ++j;
        }
        out.append(text.data() + i, j - i);
        i = j;
        if (i == n) break;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            switch (b) {
                case '\b': out += "\\b"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\f': out += "\\f"; break;
                case '\r': out += "\\r"; break;
                case '"': out += "\\\""; break;
                case '/': out += "\\/"; break;
                case '\\': out += "\\\\"; break;
                default: AppendUEscape(out, b); break;
            }
            ++i;
            continue;
        }
        const TDecodedChar d = DecodeUtf8Char(text.substr(i));
        const char32_t cp = IsEscapedByte(d.CodePoint) ? Cp1252ToUnicode(b) : d.CodePoint;
        if (cp >= 0x10000) {
            AppendUEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendUEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            AppendUEscape(out, cp);
        }
        i += d.Length;
    }
}

}  // namespace qm

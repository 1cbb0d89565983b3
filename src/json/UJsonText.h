// The text rules of the JSON document: trimming, splitting at top-level
// separators, classifying a piece by its first and last characters, string
// escapes and number text. Pure functions over views; the node classes of
// UFastJSON.h are built from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "UFastJSON.h"

namespace qm {

// Removes leading and trailing characters of code 32 or below.
std::string_view TrimJson(std::string_view text) noexcept;

// Remembers where the bracket regions of one text close, so that the levels
// of one parse skip a region they have seen once without scanning it again:
// a region scanned from its opening character ends at the same place in any
// view of the text that holds its closing character, and runs to the end of
// any view that ends before it closes. Every region is recorded, so that
// each character is scanned at most once as the inside of a region and the
// whole parse stays linear in the text's size. Memory: four bytes per byte
// of text, taken at the first record. Also holds the scratch stacks of the
// scans. A memo made without a text records nothing.
class TJsonScanMemo {
    static constexpr std::uint32_t kUnclosed = 0x80000000u;

public:
    TJsonScanMemo() = default;
    // A text of 2 GiB or more is scanned without a memo.
    explicit TJsonScanMemo(std::string_view text)
        : Base(text.size() < kUnclosed ? text.data() : nullptr), Size(text.size()) {}

    // The closing character of the region opened at `open` when it closes
    // before `end`; `end` when it is known not to; null when unknown.
    const char* CloserOf(const char* open, const char* end) const noexcept;
    // Records that the region opened at `open` closes at `close` (> open).
    void Record(const char* open, const char* close);
    // Records that the region opened at `open` does not close before `end`.
    void RecordUnclosed(const char* open, const char* end);

    std::string Closers;              // scratch: closing characters of open regions
    std::vector<const char*> Opens;   // scratch: where they were opened

private:
    void Set(const char* open, std::uint32_t value);

    const char* Base = nullptr;
    std::size_t Size = 0;
    // Per byte of the text: 0 unknown, else the closer's offset, or the
    // offset it does not close before with kUnclosed added.
    std::vector<std::uint32_t> Known;
};

// Cuts a text at its top-level separators. A double quote, "[" or "{" opens a
// skipped region that ends at its matching closing character; inside quotes a
// backslash skips the next character; inside brackets quotes and further
// brackets nest, but a region only looks for its own closing character
// (mismatched brackets are ignored). An unclosed region runs to the end of
// the text. Pieces are trimmed views into the text; a piece cut at a
// separator is returned even when empty, the final piece only when not empty.
// Cost: one pass over the text, bracket regions known to `memo` skipped in
// one step. Precondition: `separator` is ',' or ':'; `memo`, when given,
// belongs to the text that `text` is a view of.
class TTopLevelSplitter {
public:
    TTopLevelSplitter(std::string_view text, char separator, TJsonScanMemo* memo = nullptr)
        : Text(text), Separator(separator), Memo(memo ? memo : &OwnMemo) {}
    TTopLevelSplitter(const TTopLevelSplitter&) = delete;
    TTopLevelSplitter& operator=(const TTopLevelSplitter&) = delete;

    // The next piece; false when there are no more.
    bool Next(std::string_view& piece);

private:
    // The closing character of the region opened at `open`, or `end` when
    // the region does not close before `end`.
    const char* SkipRegion(const char* open, const char* end);

    std::string_view Text;
    char Separator;
    std::size_t Start = 0;
    bool Done = false;
    TJsonScanMemo OwnMemo;
    TJsonScanMemo* Memo;
};

// Kind of a piece of text: "{...}", "[...]", "\"...\"" (at least two
// characters), "null", "true", "false" (ASCII letter case ignored), else a
// number. jvNone when the text is none of these (not a value). For jvNumber
// the value is stored in `number`.
TJsonKind ClassifyJsonText(std::string_view text, long double& number);

// Number text: optional sign, digits, optional "." and fraction digits,
// optional exponent ("e" or "E", optional sign, digits); at least one digit
// before the exponent. Independent of the process locale. False for any
// other text and for magnitudes outside the range of long double.
bool ParseJsonNumber(std::string_view text, long double& value) noexcept;

// Number text on output: up to 15 significant digits, "." as separator, the
// exponent form ("1e+20") for exponents below -4 or from 15 up.
// Precondition: `value` is finite.
void AppendJsonNumber(std::string& out, long double value);
std::string FormatJsonNumber(long double value);

// Decodes the text between a string's outer quotes and appends it as UTF-8
// (RFC 8259 section 7): \" \/ \\ \b \f \n \r \t; \uXXXX (hex digits of either
// case) as that character, a surrogate pair as one character, a lone
// surrogate as U+FFFD, \u0080..\u009F as the Windows-1252 character of that
// byte; a backslash before any other character (or "\u" with fewer than four
// characters left) is dropped and the whole character kept, converted like
// any other; a final backslash is dropped. Bytes that are not UTF-8 are read
// as Windows-1252 characters, and so are the C1 controls U+0080..U+009F, as
// their escapes are. The result is always valid UTF-8.
// Raises EJsonError("InvalidHexNumber") for a non-hex digit after "\u".
void AppendDecodedJsonString(std::string& out, std::string_view inner);

// Appends `text` escaped for output, without the quotes: \b \t \n \f \r, a
// backslash before '"', '/' and '\', "\u" and four lowercase hex digits for
// other characters below 0x20 and for every character beyond ASCII (a
// surrogate pair above U+FFFF). Bytes that are not UTF-8 are written as the
// Windows-1252 character of that byte. The output is pure ASCII. (A C1
// control U+0080..U+009F is written as its escape, which reads back as the
// Windows-1252 character of that byte; parsed strings never hold one.)
void AppendEncodedJsonString(std::string& out, std::string_view text);

}  // namespace qm

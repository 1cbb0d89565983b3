// Conversions between the program's UTF-8 strings and the encodings that
// cross its edges: UTF-16LE on the pipe, UTF-16 code units from JSON escapes,
// Windows-1252 for QR payloads that are not converted to UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// One decoded code point and the number of bytes it took. Invalid or
// truncated sequences decode as one byte: CodePoint is then 0xDC00 + byte
// (the "surrogate escape" of that byte), which matches no real character.
struct TDecodedChar {
    char32_t CodePoint;
    std::size_t Length;  // 1..4, never 0 for a non-empty input
};

// Decodes the code point at the front of `text`. Precondition: !text.empty().
TDecodedChar DecodeUtf8Char(std::string_view text) noexcept;

// True when `cp` came from an invalid byte in DecodeUtf8Char.
constexpr bool IsEscapedByte(char32_t cp) noexcept { return cp >= 0xDC80 && cp <= 0xDCFF; }

// Appends the UTF-8 form of `cp` (0..0x10FFFF; surrogates and larger values
// are written as U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

// UTF-16 code units to UTF-8. A surrogate pair becomes one 4-byte sequence;
// a lone surrogate half becomes U+FFFD. No byte order mark is written.
std::string EncodeUtf8(std::u16string_view text);

// UTF-8 to UTF-16 code units. Invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Same conversions against little-endian UTF-16 bytes, as on the pipe.
// An odd trailing byte is ignored.
std::string Utf16LEBytesToUtf8(std::string_view bytes);
std::string Utf8ToUtf16LEBytes(std::string_view text);

// Windows-1252 byte (0..255) to its Unicode code point. The five bytes that
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to themselves.
char32_t Cp1252ToUnicode(std::uint8_t byte) noexcept;

// Unicode code point to its Windows-1252 byte, or -1 when it has none.
int UnicodeToCp1252(char32_t cp) noexcept;

// UTF-8 text to Windows-1252 bytes; characters outside the code page become "?".
std::string Utf8ToCp1252(std::string_view text);

// Windows-1252 bytes to UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace qm

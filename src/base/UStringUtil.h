// String operations shared by every layer: safe file names, trailing path
// separators, the splitter and replace-all ignoring letter case. All texts
// are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Longest base name MakeSafeFileName returns, in bytes: the name plus a
// four-byte extension (".vcf", ".png") fits the 255-byte limit of the file
// system.
inline constexpr std::size_t kMaxSafeBaseNameBytes = 251;

// Length of the longest prefix of `text` of at most `limit` bytes that ends
// on a character boundary (an invalid byte counts as one character).
std::size_t CutAtCharBoundary(std::string_view text, std::size_t limit) noexcept;

// Removes control characters (codes 0..31), with `removeSpaces` every space,
// and the nine characters \ ? | > < : / * " ; trims leading and trailing
// characters up to code 32; puts "_" in front of a name that Windows would
// take for a device (IsReservedDeviceName), so that a card named after a
// company "Con.Tec GmbH" is a file on every platform; cuts the result at a
// character boundary to kMaxSafeBaseNameBytes (and trims again). The result
// may be empty.
std::string MakeSafeFileName(std::string_view text, bool removeSpaces = false);

// Whether Windows reads the file name `name` as a device: the part before
// its first dot, with trailing spaces and dots removed, is CON, PRN, AUX,
// NUL, COM0..COM9, LPT0..LPT9, COM or LPT with a superscript 1, 2 or 3,
// CONIN$ or CONOUT$, in any letter case ("Naming Files, Paths, and
// Namespaces" in the Win32 documentation).
bool IsReservedDeviceName(std::string_view name) noexcept;

// `text` with its control characters shown as escapes, for printing a
// peer's text where a control character must not act on the terminal: the
// C0 controls and DEL as "\xHH" (a backspace as "\x08"), the C1 controls
// U+0080..U+009F (in UTF-8) as "\u0080".."\u009F". Everything else,
// backslashes and bytes that are no UTF-8 included, stays as it is.
std::string EscapeControlCharacters(std::string_view text);

// `base` cut at a character boundary so that `folder` + base + a
// `extensionChars`-character extension stays within `maxPathChars` UTF-16
// code units (`folder` counted as UTF-16 too). Returns `base` whole when it
// fits, "" when even an empty base would not.
std::string FitBaseNameToPath(std::string_view base, std::string_view folder, std::size_t extensionChars,
                              std::size_t maxPathChars);

// Windows path rule: "" stays ""; a path ending in ":" or "\" is unchanged;
// a single letter A-Z/a-z becomes "X:\"; anything else gets "\" appended.
std::string AddTrailingBackslash(std::string_view path);

// Removes one final "\" if present.
std::string RemoveTrailingBackslash(std::string_view path);

// The separator of the paths the program builds: "\" on Windows, "/"
// elsewhere. Windows also accepts "/" (and ":" after a drive letter) when it
// reads a path, so the functions below split there too.
#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
inline constexpr std::string_view kPathDelimiters = "\\/:";
#else
inline constexpr char kPathDelimiter = '/';
inline constexpr std::string_view kPathDelimiters = "/";
#endif

// "" stays "", a path already ending in a separator is unchanged, anything
// else gets kPathDelimiter appended.
std::string IncludeTrailingPathDelimiter(std::string_view path);
// Removes one final separator unless the path is that separator alone.
std::string ExcludeTrailingPathDelimiter(std::string_view path);

// Everything up to and including the last separator (empty when there is none).
std::string ExtractFilePath(std::string_view path);
// Everything after the last separator.
std::string ExtractFileName(std::string_view path);

// Splits `text` at `separator`.
// - empty text or maxPieces < 0: no pieces (paddedLength not applied);
// - empty separator: the one piece `text`;
// - maxPieces > 0: piece number maxPieces runs to the end of the text;
// - a separator at the very end adds no empty last piece;
// - paddedLength != 0: the result is resized to paddedLength pieces
//   (missing pieces empty, extra ones dropped). Precondition: paddedLength >= 0.
std::vector<std::string> SplitString(std::string_view separator, std::string_view text,
                                     int maxPieces, int paddedLength);

// Folds a code point for comparisons ignoring case: ASCII letters and the
// accented letters of Windows-1252 map to their lower case; every other
// character (ß among them) maps to itself.
char32_t FoldCase(char32_t cp) noexcept;

// Replaces every occurrence of `oldPattern` in `text` by `newText`, comparing
// by FoldCase, scanning left to right without overlaps and without scanning
// replaced text again. An empty pattern leaves the text unchanged.
void ReplaceAllIgnoreCase(std::string& text, std::string_view oldPattern, std::string_view newText);

// ASCII-and-Windows-1252 case-insensitive equality (FoldCase per code point).
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace qm

// The program's UTF-8 strings at the edge of the Win32 API, which takes
// UTF-16 (the ...W functions). Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// UTF-8 to UTF-16 (invalid bytes become U+FFFD).
std::wstring ToWide(std::string_view utf8);

// UTF-16 to UTF-8 (a lone surrogate half becomes U+FFFD).
std::string FromWide(std::wstring_view wide);

// `path` in the form the file functions take. A path too long for the
// classic MAX_PATH limit (a long person's name in a deep temporary folder)
// is made absolute and given the "\\?\" prefix ("\\?\UNC\" for a share),
// which lifts the limit to 32767 characters ("Naming Files, Paths, and
// Namespaces" in the Win32 documentation). Shorter paths pass unchanged.
std::wstring WinPath(std::string_view path);

// The system's text for a Win32 error code, in UTF-8 without the final line
// break; "error N" when the system has none.
std::string SystemErrorText(DWORD code);

}  // namespace qm

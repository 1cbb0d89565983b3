#include "UCommandLine.h"

#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>

#include "UWinText.h"

namespace qm {

std::vector<std::string> CommandLineArguments(int /*argc*/, char* /*argv*/[]) {
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr) return {};
    std::vector<std::string> out;
    try {
        for (int i = 1; i < count; ++i) out.push_back(FromWide(args[i]));
    } catch (...) {
        ::LocalFree(args);
        throw;
    }
    ::LocalFree(args);
    return out;
}

namespace {

// The console behind `stream`, or null when it writes elsewhere. _isatty
// answers true for every character device, NUL included; only a console
// has a console mode.
HANDLE ConsoleOf(std::FILE* stream, DWORD& mode) noexcept {
    const intptr_t osHandle = ::_get_osfhandle(::_fileno(stream));
    if (osHandle == -1 || osHandle == -2) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(osHandle);
    return ::GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

}  // namespace

bool IsTerminal(std::FILE* stream) noexcept {
    DWORD mode = 0;
    return ConsoleOf(stream, mode) != nullptr;
}

bool WriteText(std::FILE* stream, std::string_view utf8) noexcept {
    // What the C stream holds goes out first, so that the order stays.
    if (std::fflush(stream) != 0) return false;
    DWORD mode = 0;
    const HANDLE console = ConsoleOf(stream, mode);
    if (console == nullptr) {
        const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
        return std::fflush(stream) == 0 && written;
    }
    if (utf8.find('\x1B') != std::string_view::npos && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
        // Refused by consoles before Windows 10: the sequence then shows,
        // which is all such a console can do.
        ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    try {
        const std::wstring wide = ToWide(utf8);
        // WriteConsoleW takes a limited amount at a time: pieces of 8 K
        // characters, never splitting a surrogate pair.
        constexpr std::size_t kPiece = 8192;
        for (std::size_t at = 0; at < wide.size();) {
            std::size_t count = std::min(kPiece, wide.size() - at);
            if (at + count < wide.size() && IS_HIGH_SURROGATE(wide[at + count - 1])) --count;
            DWORD written = 0;
            if (!::WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(count), &written, nullptr) ||
                written == 0)
                return false;
            at += written;
        }
        return true;
    } catch (...) {
        return false;  // no memory for the wide text
    }
}

}  // namespace qm

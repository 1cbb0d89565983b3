#include "UCommandLine.h"

#include <windows.h>
#include <io.h>
#include <shellapi.h>

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

bool IsTerminal(std::FILE* stream) noexcept {
    // _isatty answers true for every character device, NUL included; only a
    // console has a console mode.
    const intptr_t osHandle = ::_get_osfhandle(::_fileno(stream));
    if (osHandle == -1) return false;
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(osHandle), &mode) != 0;
}

}  // namespace qm

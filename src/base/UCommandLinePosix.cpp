#include "UCommandLine.h"

#include <unistd.h>

namespace qm {

std::vector<std::string> CommandLineArguments(int argc, char* argv[]) {
    if (argc <= 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(std::FILE* stream) noexcept { return ::isatty(::fileno(stream)) != 0; }

bool WriteText(std::FILE* stream, std::string_view utf8) noexcept {
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    return std::fflush(stream) == 0 && written;
}

}  // namespace qm

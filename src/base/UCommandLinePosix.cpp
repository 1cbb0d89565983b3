#include "UCommandLine.h"

#include <unistd.h>

namespace qm {

std::vector<std::string> CommandLineArguments(int argc, char* argv[]) {
    if (argc <= 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(std::FILE* stream) noexcept { return ::isatty(::fileno(stream)) != 0; }

}  // namespace qm

#include "UProcess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace qm {

namespace {

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks
// since boot (proc(5)). The command name in field 2 is in parentheses and
// may hold spaces and parentheses itself, so fields are counted from the
// last ")". 0 when it cannot be read.
unsigned long long StartTicks(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    // Fields 3 to 21 come before the start time.
    for (int i = 3; i <= 21; ++i) {
        if (!(fields >> field)) return 0;
    }
    unsigned long long ticks = 0;
    return (fields >> ticks) ? ticks : 0;
}

}  // namespace

std::uint32_t GetParentProcessId() noexcept {
    try {
        const pid_t parent = ::getppid();
        const unsigned long long parentStart = StartTicks(std::to_string(parent));
        const unsigned long long ownStart = StartTicks("self");
        // Without /proc nothing can be compared; getppid itself is then the
        // best there is.
        if (parentStart == 0 || ownStart == 0) return static_cast<std::uint32_t>(parent);
        return parentStart <= ownStart ? static_cast<std::uint32_t>(parent) : 0;
    } catch (...) {
        return 0;
    }
}

std::string CurrentUserId() { return std::to_string(::geteuid()); }

std::string ProcessUserId(std::uint32_t pid) {
    struct stat st {};
    if (::stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0) return {};
    return std::to_string(st.st_uid);
}

void RestrictLibrarySearch() noexcept {}

}  // namespace qm

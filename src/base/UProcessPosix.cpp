#include "UProcess.h"

#include <unistd.h>

namespace qm {

std::uint32_t GetParentProcessId() noexcept { return static_cast<std::uint32_t>(::getppid()); }

}  // namespace qm

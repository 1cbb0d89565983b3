// This process's place among the processes of the machine.
#pragma once

#include <cstdint>

namespace qm {

// The id of the process that started this one, 0 when it cannot be found.
// The host starts the dialog as its child, so this is the host's id.
std::uint32_t GetParentProcessId() noexcept;

}  // namespace qm

// The platform's side of UExitRemoval.h.
#pragma once

#include <string>
#include <vector>

namespace qm {

// Hands the guardian, if one runs, the files to delete once the program is
// gone (replacing what it had). Called under the list's lock. Never throws.
void TellGuardian(const std::vector<std::string>& paths) noexcept;

}  // namespace qm

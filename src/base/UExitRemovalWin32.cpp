#include "UExitRemoval.h"
#include "UExitRemovalPlatform.h"

namespace qm {

void StartExitGuardian() noexcept {}

void TellGuardian(const std::vector<std::string>&) noexcept {}

}  // namespace qm

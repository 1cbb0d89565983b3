// Security identifiers at the edge of the Win32 API. Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace qm {

// `sid` as its string form ("S-1-5-21-..."); "" for null or on failure.
std::string SidText(PSID sid);

// The owner that this process gives the objects it creates (the token's
// default owner): the user itself, or for an elevated administrator the
// Administrators group. "" when it cannot be read.
std::string CurrentDefaultOwnerId();

}  // namespace qm

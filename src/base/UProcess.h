// This process's place among the processes of the machine, and who runs
// them.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// The id of the process that started this one, 0 when it cannot be found or
// when the process under that id started after this one: process ids are
// reused, and a process younger than us cannot be the host that started us.
// The host starts the dialog as its child, so this is the host's id.
std::uint32_t GetParentProcessId() noexcept;

// The user account this process runs as, as text that compares equal for
// the same account: the effective uid in decimal on POSIX, the token user's
// SID ("S-1-5-21-...") on Windows. "" when it cannot be read.
std::string CurrentUserId();

// The same text for the user that runs process `pid`; "" when the process is
// gone or its user cannot be read.
std::string ProcessUserId(std::uint32_t pid);

// Makes the program load DLLs from the system folder only, never from its
// own folder or the current one (a DLL planted beside the program). Called
// first in every program's main. Does nothing on POSIX.
void RestrictLibrarySearch() noexcept;

}  // namespace qm

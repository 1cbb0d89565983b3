// The parent process from a snapshot of the machine's processes: Windows
// keeps no parent link on the process itself, but each PROCESSENTRY32W of
// CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) names its creator's id.
#include "UProcess.h"

#include <windows.h>
#include <tlhelp32.h>

#include "UWinHandle.h"

namespace qm {

std::uint32_t GetParentProcessId() noexcept {
    const TWinHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD self = ::GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
    }
    return 0;
}

}  // namespace qm

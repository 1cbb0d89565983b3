// The parent process from a snapshot of the machine's processes: Windows
// keeps no parent link on the process itself, but each PROCESSENTRY32W of
// CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) names its creator's id. That
// id may since have been given to a newer process, so the creation times
// (GetProcessTimes) decide whether it can still be our parent.
#include "UProcess.h"
#include "UWinSecurity.h"

#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <vector>

#include "UWinHandle.h"
#include "UWinText.h"

namespace qm {

namespace {

// Creation time of the process behind `process`, 0 when it cannot be read.
ULONGLONG CreationTime(HANDLE process) noexcept {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// One SID of a token (TokenUser or TokenOwner) as its string form.
std::string TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which) {
    DWORD need = 0;
    ::GetTokenInformation(token, which, nullptr, 0, &need);
    if (need == 0) return {};
    std::vector<unsigned char> buffer(need);
    if (!::GetTokenInformation(token, which, buffer.data(), need, &need)) return {};
    // TOKEN_USER and TOKEN_OWNER both begin with the SID pointer.
    PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                  : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    return SidText(sid);
}

std::string ProcessTokenSid(HANDLE process, TOKEN_INFORMATION_CLASS which) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    const TWinHandle token(raw);
    return TokenSid(token.Get(), which);
}

}  // namespace

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return {};
    std::string out = FromWide(text);
    ::LocalFree(text);
    return out;
}

std::string CurrentDefaultOwnerId() { return ProcessTokenSid(::GetCurrentProcess(), TokenOwner); }

std::uint32_t GetParentProcessId() noexcept {
    const TWinHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD self = ::GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    if (parent == 0) return 0;
    const TWinHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
    if (!process) return 0;  // gone: nobody of that id can answer for it
    const ULONGLONG parentCreated = CreationTime(process.Get());
    const ULONGLONG ownCreated = CreationTime(::GetCurrentProcess());
    if (parentCreated == 0 || ownCreated == 0 || parentCreated > ownCreated) return 0;
    return parent;
}

std::string CurrentUserId() { return ProcessTokenSid(::GetCurrentProcess(), TokenUser); }

std::string ProcessUserId(std::uint32_t pid) {
    const TWinHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    return ProcessTokenSid(process.Get(), TokenUser);
}

void RestrictLibrarySearch() noexcept {
    // Windows 8 and later; the program targets Windows 10.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace qm

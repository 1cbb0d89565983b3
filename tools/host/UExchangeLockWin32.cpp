// The exchange-file lock on Windows: LockFileEx on the lock file.
#include <windows.h>

#include "UExchangeFile.h"
#include "UWinHandle.h"
#include "UWinText.h"

namespace qm {

namespace {

// How often a blocked host looks at the lock again; between attempts it
// waits for a stop request, so that Ctrl+C ends a host whose lock is held.
constexpr std::chrono::milliseconds kLockRetry{20};

}  // namespace

struct TExchangeLock::TImpl {
    TWinHandle File;
};

TExchangeLock::TExchangeLock(const std::string& lockPath, const TLockWait& wait) : impl_(std::make_unique<TImpl>()) {
    impl_->File.Reset(::CreateFileW(WinPath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->File) {
        throw EInOutError("Sperrdatei kann nicht geöffnet werden \"" + lockPath + "\"",
                          static_cast<int>(::GetLastError()));
    }
    bool told = false;
    for (;;) {
        OVERLAPPED at{};  // the first byte of the file
        if (::LockFileEx(impl_->File.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return;
        const DWORD e = ::GetLastError();
        if (e != ERROR_LOCK_VIOLATION && e != ERROR_IO_PENDING) {
            throw EInOutError("Sperrdatei kann nicht gesperrt werden \"" + lockPath + "\"", static_cast<int>(e));
        }
        if (!told && wait.Blocked) wait.Blocked();
        told = true;
        if (wait.Stop) {
            if (wait.Stop(kLockRetry)) throw EHostStopped("stopped while waiting for \"" + lockPath + "\"");
        } else {
            ::Sleep(static_cast<DWORD>(kLockRetry.count()));
        }
    }
}

// Closing the handle releases the lock.
TExchangeLock::~TExchangeLock() = default;

}  // namespace qm

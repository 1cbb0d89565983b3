// The host's side of the exchange file: each running host keeps its server
// name as one line, the default host on the first. Hosts start and stop
// concurrently, so every change is a read-modify-write under an exclusive
// lock, published by an atomic rename so that readers never see a partial
// file.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UErrors.h"

namespace qm {

// Raised when the host was told to stop while it waited for the lock.
class EHostStopped : public EQuillmarkError {
public:
    using EQuillmarkError::EQuillmarkError;
};

// How a wait for the lock may end early. Both members may be empty.
struct TLockWait {
    // Waits up to the given time for a request to stop; true when one came.
    std::function<bool(std::chrono::milliseconds)> Stop;
    // Told once when the lock is held by someone else and the wait begins.
    std::function<void()> Blocked;
};

// The exclusive lock on the lock file beside the exchange file (flock on
// POSIX, LockFileEx on Windows), held for the object's lifetime.
// UExchangeLockPosix.cpp / UExchangeLockWin32.cpp.
class TExchangeLock {
public:
    // Waits for the lock in steps, asking wait.Stop between them; raises
    // EHostStopped when it says stop, EInOutError when the lock file cannot
    // be opened or locked.
    TExchangeLock(const std::string& lockPath, const TLockWait& wait);
    TExchangeLock(const TExchangeLock&) = delete;
    TExchangeLock& operator=(const TExchangeLock&) = delete;
    ~TExchangeLock();

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// Adds `name` as the first line (asDefault) or the last, dropping earlier
// lines with that name. Raises EInOutError / EUnsafeFolderError, and
// ENotRegularFileError when the exchange file is not a regular file.
void AddExchangeServer(std::string_view name, bool asDefault, const TLockWait& wait = {});

// Removes every line equal to `name`; the file is removed when no line is
// left. Raises like AddExchangeServer.
void RemoveExchangeServer(std::string_view name, const TLockWait& wait = {});

// Keeps `name` listed for the lifetime of the object.
class TExchangeRegistration {
public:
    TExchangeRegistration(std::string name, bool asDefault, TLockWait wait = {});
    TExchangeRegistration(const TExchangeRegistration&) = delete;
    TExchangeRegistration& operator=(const TExchangeRegistration&) = delete;
    ~TExchangeRegistration();

private:
    std::string name_;
    TLockWait wait_;
};

}  // namespace qm

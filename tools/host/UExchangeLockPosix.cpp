// The exchange-file lock on POSIX: flock on the lock file.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>

#include <cerrno>

#include "UExchangeFile.h"
#include "UFileHandle.h"

namespace qm {

namespace {

// How often a blocked host looks at the lock again. A non-blocking attempt
// between waits for a stop request keeps the host responsive to signals,
// which a blocking flock would not be (handlers installed with SA_RESTART,
// and a signal just before the call would be missed).
constexpr std::chrono::milliseconds kLockRetry{20};

}  // namespace

struct TExchangeLock::TImpl {
    TFileHandle Fd;
};

TExchangeLock::TExchangeLock(const std::string& lockPath, const TLockWait& wait) : impl_(std::make_unique<TImpl>()) {
    impl_->Fd.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!impl_->Fd) throw EInOutError("Sperrdatei kann nicht geöffnet werden \"" + lockPath + "\"", errno);
    bool told = false;
    while (::flock(impl_->Fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            throw EInOutError("Sperrdatei kann nicht gesperrt werden \"" + lockPath + "\"", errno);
        }
        if (!told && wait.Blocked) wait.Blocked();
        told = true;
        if (wait.Stop) {
            if (wait.Stop(kLockRetry)) throw EHostStopped("stopped while waiting for \"" + lockPath + "\"");
        } else {
            ::poll(nullptr, 0, static_cast<int>(kLockRetry.count()));
        }
    }
}

TExchangeLock::~TExchangeLock() = default;  // closing the file releases the lock

}  // namespace qm

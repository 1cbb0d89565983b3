#include "UBoundedCall.h"

#include <atomic>

#include "UBoundedCallPlatform.h"

namespace qm {

namespace {

// Trivially destructible, so a worker that ends while the process exits
// never touches a destroyed object.
std::atomic<std::size_t> gRunning{0};

}  // namespace

std::size_t BoundedWorkersRunning() noexcept { return gRunning.load(); }

void EndBoundedWorker() noexcept { --gRunning; }

bool RunWithin(std::chrono::steady_clock::time_point deadline, std::function<void()> work) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Reserve a place first, so that concurrent callers never start more
    // than the limit.
    if (gRunning.fetch_add(1) >= kMaxBoundedWorkers) {
        EndBoundedWorker();
        return false;
    }
    return RunOnBoundedWorker(deadline, std::move(work));
}

}  // namespace qm

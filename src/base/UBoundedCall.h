// A blocking call that the caller waits for only until a deadline. For file
// system calls on paths another process controls: a stat() or open() on a
// file system that never answers (a FUSE mount, a dead network share) cannot
// be interrupted, so it runs on a worker thread of its own and the caller
// gives up on it at the deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace qm {

// Workers that may still be running at once: at most this many calls that
// never came back are abandoned; while so many are stuck, further bounded
// calls give up at once instead of starting another thread.
inline constexpr std::size_t kMaxBoundedWorkers = 8;

// Runs `work` on a detached worker thread and waits for it until `deadline`.
// True when it ended in time (an exception it raised is raised here);
// false when the deadline passed first, and without starting `work` when
// it had already passed, when kMaxBoundedWorkers are running or when no
// thread can be started. A worker
// given up on runs on until `work` returns and then ends by itself: `work`
// must own everything it touches (capture by value), as the caller's frame
// may be gone by then.
bool RunWithin(std::chrono::steady_clock::time_point deadline, std::function<void()> work);

// The result of `work()` (a value type, not void) when it came within the
// deadline, none otherwise; exceptions as with RunWithin.
template <typename Work>
auto CallWithin(std::chrono::steady_clock::time_point deadline, Work work)
    -> std::optional<std::invoke_result_t<Work&>> {
    using Result = std::invoke_result_t<Work&>;
    // Shared with the worker, which may outlive this call: it writes the
    // result only here, and it is read only once the worker has finished.
    auto result = std::make_shared<std::optional<Result>>();
    if (!RunWithin(deadline, [result, work = std::move(work)]() mutable { result->emplace(work()); })) {
        return std::nullopt;
    }
    return std::move(*result);
}

// Workers of RunWithin still running (started and not yet ended), 0 ..
// kMaxBoundedWorkers.
std::size_t BoundedWorkersRunning() noexcept;

}  // namespace qm

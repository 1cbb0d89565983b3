// The platform's side of UBoundedCall.h.
#pragma once

#include <chrono>
#include <functional>

namespace qm {

// Gives back the place a worker reserved in RunWithin; called once by each
// worker when `work` has returned (or by RunWithin when none could be
// started). Never throws.
void EndBoundedWorker() noexcept;

// Runs `work` on a new detached thread that calls EndBoundedWorker() when it
// ends, and waits for it until `deadline`: RunWithin's contract, after its
// place has been reserved. Without a thread it calls EndBoundedWorker()
// itself and returns false.
bool RunOnBoundedWorker(std::chrono::steady_clock::time_point deadline, std::function<void()> work);

}  // namespace qm

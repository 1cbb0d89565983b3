#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "UBoundedCallPlatform.h"

namespace qm {

namespace {

// What the caller and its worker share; owned by both, so whichever ends
// last frees it.
struct TCallState {
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    std::exception_ptr Error;
};

}  // namespace

bool RunOnBoundedWorker(std::chrono::steady_clock::time_point deadline, std::function<void()> work) {
    auto state = std::make_shared<TCallState>();
    try {
        std::thread([state, work = std::move(work)] {
            std::exception_ptr error;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> hold(state->Lock);
                state->Error = error;
                state->Done = true;
            }
            state->Ended.notify_all();
            EndBoundedWorker();
        }).detach();
    } catch (const std::system_error&) {
        EndBoundedWorker();  // no thread: as if the call had not answered
        return false;
    }
    std::unique_lock<std::mutex> hold(state->Lock);
    if (!state->Ended.wait_until(hold, deadline, [&state] { return state->Done; })) return false;
    if (state->Error) std::rethrow_exception(state->Error);
    return true;
}

}  // namespace qm

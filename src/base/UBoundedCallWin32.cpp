// Workers are threads of the Windows API, waited for on an event. The C++
// library's threads of MinGW-w64 go through winpthreads, whose detached
// threads started in quick succession were seen under Wine to come back
// only after the deadline, or to start on freed state; CreateThread and
// WaitForSingleObject are documented and have neither problem.
#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>

#include "UBoundedCallPlatform.h"
#include "UWinHandle.h"

namespace qm {

namespace {

// What the caller and its worker share; owned by both, so whichever ends
// last frees it. The worker writes Error before it signals Ended; the
// caller reads it only after its wait saw the signal.
struct TCallState {
    std::function<void()> Work;
    std::exception_ptr Error;
    TWinHandle Ended;  // manual-reset event
};

DWORD WINAPI RunWorker(void* parameter) {
    std::shared_ptr<TCallState> state = std::move(*static_cast<std::shared_ptr<TCallState>*>(parameter));
    delete static_cast<std::shared_ptr<TCallState>*>(parameter);
    try {
        state->Work();
    } catch (...) {
        state->Error = std::current_exception();
    }
    state->Work = nullptr;  // what it captured goes on this thread
    ::SetEvent(state->Ended.Get());
    EndBoundedWorker();
    return 0;
}

}  // namespace

bool RunOnBoundedWorker(std::chrono::steady_clock::time_point deadline, std::function<void()> work) {
    auto state = std::make_shared<TCallState>();
    state->Work = std::move(work);
    state->Ended.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto* handed = state->Ended ? new std::shared_ptr<TCallState>(state) : nullptr;
    const TWinHandle thread(handed ? ::CreateThread(nullptr, 0, RunWorker, handed, 0, nullptr) : nullptr);
    if (!thread) {
        delete handed;
        EndBoundedWorker();  // no thread: as if the call had not answered
        return false;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto ms = static_cast<DWORD>(std::clamp<long long>(left.count(), 0, INFINITE - 1));
    if (::WaitForSingleObject(state->Ended.Get(), ms) != WAIT_OBJECT_0) return false;
    if (state->Error) std::rethrow_exception(state->Error);
    return true;
}

}  // namespace qm

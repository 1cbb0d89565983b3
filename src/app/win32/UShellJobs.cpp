#include "UShellJobs.h"

#include "UWinApi.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

#include "UStringUtil.h"
#include "UWinHandles.h"
#include "UWinText.h"

namespace qm {

namespace {

// ShellExecuteExW as TShellExecuteOpener describes it.
DWORD ShellExecuteRequest(HWND owner, const wchar_t* verb, const std::wstring& file, int show) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.nShow = show;
    if (ShellExecuteExW(&info)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

}  // namespace

DWORD TShellExecuteOpener::Open(HWND owner, const std::string& verb, const std::string& target) {
    return ShellExecuteRequest(owner, ToWide(verb).c_str(), ToWide(QuoteForShell(target)), SW_SHOWDEFAULT);
}

DWORD TShellExecuteOpener::ShowInFolder(HWND owner, const std::string& file) {
    const std::wstring path = ToWide(file);
    TItemIdList item;
    if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, item.Put(), 0, nullptr)) &&
        SUCCEEDED(SHOpenFolderAndSelectItems(item.Get(), 0, nullptr, 0)))
        return ERROR_SUCCESS;
    // The folder alone: the path up to its last separator.
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return ERROR_PATH_NOT_FOUND;
    return ShellExecuteRequest(owner, L"explore", path.substr(0, separator + 1), SW_SHOWNORMAL);
}

struct TWorkerThreadPool::TState {
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Idle;
    std::deque<std::function<void()>> Jobs;
    int Busy = 0;
    int IdleThreads = 0;
    bool Stopping = false;
};

void TWorkerThreadPool::Run(const std::shared_ptr<TState>& shared) {
    auto& state = *shared;
    // The shell may use COM objects of its own (handlers, namespace
    // extensions): ShellExecute's documentation asks for COM on the thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::unique_lock lock(state.Lock);
    for (;;) {
        ++state.IdleThreads;
        state.Wake.wait(lock, [&state] { return state.Stopping || !state.Jobs.empty(); });
        --state.IdleThreads;
        if (state.Jobs.empty()) break;  // stopping
        std::function<void()> job = std::move(state.Jobs.front());
        state.Jobs.pop_front();
        ++state.Busy;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // Nobody waits for the job to report to: a refused request reports
            // itself (TShell::Failed), anything else ends here.
        }
        job = nullptr;  // what the job holds goes before the pool counts it done
        lock.lock();
        --state.Busy;
        if (state.Jobs.empty() && state.Busy == 0) state.Idle.notify_all();
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

TWorkerThreadPool::TWorkerThreadPool(int maxThreads, std::chrono::milliseconds exitWait)
    : FMaxThreads(std::clamp(maxThreads, 1, 64)),
      FExitWait(std::max(exitWait, std::chrono::milliseconds(0))),
      FState(std::make_shared<TState>()) {}

TWorkerThreadPool::~TWorkerThreadPool() {
    TState& state = *FState;
    bool done = false;
    {
        std::unique_lock lock(state.Lock);
        done = state.Idle.wait_for(lock, FExitWait, [&state] { return state.Jobs.empty() && state.Busy == 0; });
        state.Jobs.clear();  // not started by now: dropped
        state.Stopping = true;
    }
    state.Wake.notify_all();
    for (std::thread& t : FThreads) {
        // A thread still in a hanging call ends on its own, or with the process.
        if (done) t.join();
        else t.detach();
    }
}

int TWorkerThreadPool::ThreadCount() const {
    const std::lock_guard lock(FState->Lock);
    return static_cast<int>(FThreads.size());
}

void TWorkerThreadPool::Queue(std::function<void()> job) {
    TState& state = *FState;
    {
        const std::lock_guard lock(state.Lock);
        // A new thread only when every started one is busy, made before the
        // job is queued: a job that no thread would ever take is not queued.
        if (state.IdleThreads <= static_cast<int>(state.Jobs.size()) &&
            static_cast<int>(FThreads.size()) < FMaxThreads) {
            try {
                FThreads.emplace_back([shared = FState] { Run(shared); });
            } catch (const std::system_error&) {
                if (FThreads.empty()) throw;  // no thread at all to run it
                // The running threads take it when they are free.
            }
        }
        state.Jobs.push_back(std::move(job));
    }
    state.Wake.notify_one();
}

void TWorkerThreadPool::WaitForDone() {
    std::unique_lock lock(FState->Lock);
    FState->Idle.wait(lock, [this] { return FState->Jobs.empty() && FState->Busy == 0; });
}

TShell::TShell(std::shared_ptr<IShellOpener> opener, int maxThreads)
    : FOpener(std::move(opener)), FPool(maxThreads) {}

void TShell::OpenFileWithShell(std::string_view verb, std::string_view file) {
    std::string target = StripEnclosingQuotes(file);
    if (target.empty()) return;
    FPool.Queue([opener = FOpener, failures = FFailures, owner = FOwner, verb = std::string(verb),
                 target = std::move(target)] {
        if (const DWORD error = opener->Open(owner, verb, target); error != ERROR_SUCCESS)
            Failed(*failures, owner, ShellFailureText(target, false, SystemErrorText(error)));
    });
}

void TShell::ShowInFolder(std::string_view file) {
    if (file.empty()) return;
    FPool.Queue([opener = FOpener, failures = FFailures, owner = FOwner, file = std::string(file)] {
        if (const DWORD error = opener->ShowInFolder(owner, file); error != ERROR_SUCCESS)
            Failed(*failures, owner, ShellFailureText(file, true, SystemErrorText(error)));
    });
}

void TShell::Failed(TFailures& failures, HWND owner, std::string text) {
    {
        const std::lock_guard lock(failures.Lock);
        failures.Texts.push_back(std::move(text));
    }
    // The box is shown by the window's thread, owned by the window.
    if (owner != nullptr) PostMessageW(owner, WM_SHELLFAILED, 0, 0);
}

std::vector<std::string> TShell::TakeFailures() {
    const std::lock_guard lock(FFailures->Lock);
    return std::exchange(FFailures->Texts, {});
}

}  // namespace qm

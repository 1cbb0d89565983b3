#include "UShellJobs.h"

#include "UWinApi.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "UWinHandles.h"
#include "UWinText.h"

namespace qm {

std::string StripEnclosingQuotes(std::string_view text) {
    if (text.size() > 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return std::string(text);
}

std::string QuoteForShell(std::string_view text) {
    if (text.empty() || (text.size() >= 2 && text.front() == '"' && text.back() == '"')) return std::string(text);
    return "\"" + std::string(text) + "\"";
}

bool TShellExecuteOpener::Open(const std::string& verb, const std::string& target) {
    const std::wstring wideVerb = ToWide(verb);
    const std::wstring file = ToWide(QuoteForShell(target));
    // ShellExecuteW reports success as a value greater than 32.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(GetForegroundWindow(), wideVerb.c_str(), file.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    return result > 32;
}

bool TShellExecuteOpener::ShowInFolder(const std::string& file) {
    const std::wstring path = ToWide(file);
    TItemIdList item;
    if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, item.Put(), 0, nullptr)) &&
        SUCCEEDED(SHOpenFolderAndSelectItems(item.Get(), 0, nullptr, 0)))
        return true;
    // The folder alone: the path up to its last separator.
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return false;
    const std::wstring folder = path.substr(0, separator + 1);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(GetForegroundWindow(), L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

TWorkerThreadPool::TWorkerThreadPool(int maxThreads) : FMaxThreads(std::clamp(maxThreads, 1, 64)) {}

TWorkerThreadPool::~TWorkerThreadPool() {
    {
        std::unique_lock lock(FLock);
        FIdle.wait(lock, [this] { return FJobs.empty() && FBusy == 0; });
        FStopping = true;
    }
    FWake.notify_all();
    for (std::thread& t : FThreads) t.join();
}

int TWorkerThreadPool::ThreadCount() const {
    const std::lock_guard lock(FLock);
    return static_cast<int>(FThreads.size());
}

void TWorkerThreadPool::Queue(std::function<void()> job) {
    {
        const std::lock_guard lock(FLock);
        FJobs.push_back(std::move(job));
        // A new thread only when every started one is busy.
        if (FIdleThreads < static_cast<int>(FJobs.size()) && static_cast<int>(FThreads.size()) < FMaxThreads)
            FThreads.emplace_back([this] { Run(); });
    }
    FWake.notify_one();
}

void TWorkerThreadPool::WaitForDone() {
    std::unique_lock lock(FLock);
    FIdle.wait(lock, [this] { return FJobs.empty() && FBusy == 0; });
}

void TWorkerThreadPool::Run() {
    // The shell may use COM objects of its own (handlers, namespace
    // extensions): ShellExecute's documentation asks for COM on the thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::unique_lock lock(FLock);
    for (;;) {
        ++FIdleThreads;
        FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
        --FIdleThreads;
        if (FJobs.empty()) break;  // stopping
        std::function<void()> job = std::move(FJobs.front());
        FJobs.pop_front();
        ++FBusy;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A failed shell request has nobody to report to: the dialog did not wait for it.
        }
        lock.lock();
        --FBusy;
        if (FJobs.empty() && FBusy == 0) FIdle.notify_all();
    }
    lock.unlock();
    if (SUCCEEDED(com)) CoUninitialize();
}

TShell::TShell(std::shared_ptr<IShellOpener> opener, int maxThreads)
    : FOpener(std::move(opener)), FPool(maxThreads) {}

void TShell::OpenFileWithShell(std::string_view verb, std::string_view file) {
    std::string target = StripEnclosingQuotes(file);
    if (target.empty()) return;
    FPool.Queue([opener = FOpener, verb = std::string(verb), target = std::move(target)] {
        opener->Open(verb, target);
    });
}

void TShell::ShowInFolder(std::string_view file) {
    if (file.empty()) return;
    FPool.Queue([opener = FOpener, file = std::string(file)] { opener->ShowInFolder(file); });
}

}  // namespace qm

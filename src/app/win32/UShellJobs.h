// Shell requests on Windows ("open" a file or a link with the program the
// desktop associates with it), queued on a small pool of worker threads so
// that the dialog never waits for the shell.
#pragma once

#include "UWinApi.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "UShellPolicy.h"

namespace qm {

// Posted to the owner of a TShell (TShell::SetOwner) when a request has
// failed; wParam and lParam 0. The failures are had from TakeFailures.
inline constexpr UINT WM_SHELLFAILED = WM_APP + 1;

// Carries out one shell request. Called on a worker thread that has COM
// initialised (apartment-threaded, as the shell's documentation asks).
class IShellOpener {
public:
    virtual ~IShellOpener() = default;
    // `verb` as the dialog names it ("open"); `target` a file path or a link
    // (UTF-8); `owner` (may be null) the window whatever the shell shows
    // belongs to. Returns ERROR_SUCCESS, or the system's error code when the
    // shell refused.
    virtual DWORD Open(HWND owner, const std::string& verb, const std::string& target) = 0;
    // Shows the folder holding `file` (a full path, UTF-8) in the file
    // manager with `file` selected where it can. Returns as Open.
    virtual DWORD ShowInFolder(HWND owner, const std::string& file) = 0;
};

// ShellExecuteExW with the owner, the verb, the target in double quotes, no
// parameters, no directory and SW_SHOWDEFAULT, the shell's own error boxes
// left out (the program tells the user itself). A file is shown in its
// folder by SHOpenFolderAndSelectItems; where that fails, the folder is
// opened with the verb "explore".
class TShellExecuteOpener : public IShellOpener {
public:
    DWORD Open(HWND owner, const std::string& verb, const std::string& target) override;
    DWORD ShowInFolder(HWND owner, const std::string& file) override;
};

// A pool of at most `maxThreads` (1..64) worker threads, started as jobs
// arrive. Each thread initialises COM (CoInitializeEx, apartment-threaded)
// for its life. Jobs run in the order queued as threads become free; an
// exception leaving a job is swallowed. Destruction waits at most
// `exitWait` (>= 0) for the queued and running jobs: a shell call that hangs
// (a handler waiting for a network drive) must not keep the program from
// ending. Jobs not started by then are dropped; a thread still in its job is
// left to finish it on its own (it keeps what it uses alive).
class TWorkerThreadPool {
public:
    explicit TWorkerThreadPool(int maxThreads = kShellWorkerThreads,
                               std::chrono::milliseconds exitWait = kShellExitWait);
    TWorkerThreadPool(const TWorkerThreadPool&) = delete;
    TWorkerThreadPool& operator=(const TWorkerThreadPool&) = delete;
    ~TWorkerThreadPool();

    int MaxThreadCount() const noexcept { return FMaxThreads; }
    // Threads started so far (never more than MaxThreadCount).
    int ThreadCount() const;
    // Queues `job` when a thread can run it: a free or a new thread, or a
    // busy one that takes it next. When no thread can be started and none
    // runs, nothing is queued and std::system_error is raised.
    void Queue(std::function<void()> job);
    // Waits until every queued job has run.
    void WaitForDone();

private:
    struct TState;
    static void Run(const std::shared_ptr<TState>& shared);

    const int FMaxThreads;
    const std::chrono::milliseconds FExitWait;
    // Shared with the threads, which may outlive the pool (see above).
    std::shared_ptr<TState> FState;
    std::vector<std::thread> FThreads;
};

// The program's shell requests: one pool, one opener.
class TShell {
public:
    explicit TShell(std::shared_ptr<IShellOpener> opener = std::make_shared<TShellExecuteOpener>(),
                    int maxThreads = kShellWorkerThreads);

    // The window (the dialog; null: none) that owns what the shell shows
    // for the requests queued from now on, and that is told of their
    // failures by WM_SHELLFAILED. On the thread that queues the requests.
    void SetOwner(HWND owner) noexcept { FOwner = owner; }

    // Queues `verb` on `file` (one pair of enclosing double quotes stripped)
    // and returns at once. An empty file name queues nothing: there is
    // nothing to open.
    void OpenFileWithShell(std::string_view verb, std::string_view file);
    // Queues showing `file` (a full path) in its folder and returns at once;
    // an empty name queues nothing.
    void ShowInFolder(std::string_view file);

    // The texts (ShellFailureText) of the requests that failed since the
    // last call, oldest first. Any thread.
    std::vector<std::string> TakeFailures();

    TWorkerThreadPool& Pool() noexcept { return FPool; }

private:
    // What failed, shared with the jobs, which may outlive the shell.
    struct TFailures {
        std::mutex Lock;
        std::vector<std::string> Texts;
    };
    // Runs on a worker thread: keeps `text` and tells `owner`.
    static void Failed(TFailures& failures, HWND owner, std::string text);

    std::shared_ptr<IShellOpener> FOpener;
    HWND FOwner = nullptr;
    std::shared_ptr<TFailures> FFailures = std::make_shared<TFailures>();
    TWorkerThreadPool FPool;  // last: its destructor waits for jobs that use FOpener
};

}  // namespace qm

// Shell requests ("open" a file or a link with the desktop's default
// program), queued on a small worker pool so that the dialog never waits for
// the desktop.
#pragma once

#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UMarkupLabelBehaviour.h"
#include "UShellPolicy.h"

namespace qm {

// kShellExitWait in ms, as QThreadPool takes it.
inline constexpr int kShellExitWaitMs = static_cast<int>(kShellExitWait.count());

// The startup id under which the window another program opens for a user's
// action may come to the front on X11 (freedesktop.org startup
// notification): "quillmark-<pid>-<sequence>" (unique for this process) and
// "_TIME" with the X server time of the action (ms), which the window
// manager compares with its last user time.
std::string X11StartupId(std::int64_t pid, unsigned sequence, std::uint64_t userTime);

// Why a request failed, for the error box: the desktop (xdg-open, the file
// manager service) gives no reason of its own.
inline constexpr std::string_view kDesktopRefusedReason = "Der Desktop hat kein Programm daf\xC3\xBCr gefunden.";

// Carries out one shell request. Called on a worker thread. A request the
// desktop refused is shown in the error box (ShellFailureText).
class IShellOpener {
public:
    virtual ~IShellOpener() = default;
    // `verb` as the dialog names it ("open"); `target` a file path or a link;
    // `parameters` empty or a command line for the target as a program.
    // Returns false when the desktop refused.
    virtual bool Open(const std::string& verb, const std::string& target, const std::string& parameters) = 0;
    // Shows the folder holding the file `file` (a full path) in the desktop's
    // file manager, with `file` selected where the file manager can;
    // `startupId` (empty: none) lets its window come to the front for the
    // user's action. Returns false when the desktop refused.
    virtual bool ShowInFolder(const std::string& file, const std::string& startupId) = 0;
};

// The desktop: "open" of a path or a link through QDesktopServices::openUrl;
// with parameters the target is started as a program with them. Other verbs
// are refused. A folder is shown with the file selected by the session's
// file manager service (org.freedesktop.FileManager1 ShowItems over D-Bus);
// without that service the folder is opened as a file would be. Safe to call
// from several threads at once: the calls into the desktop services are
// serialised.
class TDesktopShellOpener : public IShellOpener {
public:
    bool Open(const std::string& verb, const std::string& target, const std::string& parameters) override;
    bool ShowInFolder(const std::string& file, const std::string& startupId) override;
};

// A pool of at most `maxThreads` (>= 1) worker threads. Jobs run in the order
// queued as threads become free; an exception leaving a job is swallowed.
// Destruction waits at most kShellExitWaitMs for the queued and running jobs:
// a desktop call that hangs must not keep the program from ending. Jobs not
// started by then are dropped, and the threads still in a job are left to
// the process's end.
class TWorkerThreadPool {
public:
    explicit TWorkerThreadPool(int maxThreads = kShellWorkerThreads);
    TWorkerThreadPool(const TWorkerThreadPool&) = delete;
    TWorkerThreadPool& operator=(const TWorkerThreadPool&) = delete;
    ~TWorkerThreadPool();

    int MaxThreadCount() const;
    void Queue(std::function<void()> job);
    // Waits until every queued job has run, at most `msecs` (-1: no limit);
    // false on time-out.
    bool WaitForDone(int msecs = -1);

private:
    // On the heap: QThreadPool's own destructor would wait without limit.
    std::unique_ptr<QThreadPool> FPool = std::make_unique<QThreadPool>();
};

// The program's shell requests: one pool, one opener.
class TShell {
public:
    // Made on the user-interface thread after the application object: it
    // watches the application's input for the time of the user's last action.
    explicit TShell(std::shared_ptr<IShellOpener> opener = std::make_shared<TDesktopShellOpener>(),
                    int maxThreads = kShellWorkerThreads);
    ~TShell();

    // Queues `verb` on `file` (one pair of enclosing double quotes stripped)
    // and returns at once. An empty file name queues nothing: there is
    // nothing to open.
    void OpenFileWithShell(std::string_view verb, std::string_view file);
    // Queues showing `file` (a full path) in its folder and returns at once;
    // an empty name queues nothing. On X11 the file manager gets the startup
    // id of the user's last key or click, so that its window is not kept
    // behind ours by focus stealing prevention. On the user-interface thread.
    void ShowInFolder(std::string_view file);

    TWorkerThreadPool& Pool() noexcept { return FPool; }

private:
    std::shared_ptr<IShellOpener> FOpener;
    // The time of the user's last action, watched on the application.
    std::unique_ptr<class TUserTimeWatch> FUserTime;
    unsigned FStartupSequence = 0;
    TWorkerThreadPool FPool;  // last: its destructor waits for jobs that use FOpener
};

}  // namespace qm

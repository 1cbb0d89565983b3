#include "UShellJobs.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>
#include <mutex>

#include "UStringUtil.h"

namespace qm {

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string StripEnclosingQuotes(std::string_view text) {
    if (text.size() > 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return std::string(text);
}

bool IsUrlTarget(std::string_view target) {
    constexpr std::string_view mailto = "mailto:";
    return target.find("://") != std::string_view::npos ||
           (target.size() >= mailto.size() && SameTextIgnoreCase(target.substr(0, mailto.size()), mailto));
}

bool TDesktopShellOpener::Open(const std::string& verb, const std::string& target, const std::string& parameters) {
    if (!SameTextIgnoreCase(verb, "open")) return false;
    // Qt does not document the desktop services as safe on several threads
    // at once (the first call settles which launcher to use in shared state).
    // Qt 6.4 happens to lock inside openUrl; requests from the pool take
    // turns here as well, so that safety does not hang on the Qt version.
    // Each request only starts a program, so the turns are short.
    static std::mutex desktopLock;
    const std::lock_guard lock(desktopLock);
    if (!parameters.empty())
        return QProcess::startDetached(ToQString(target), QProcess::splitCommand(ToQString(parameters)));
    const QUrl url = IsUrlTarget(target) ? QUrl(ToQString(target)) : QUrl::fromLocalFile(ToQString(target));
    return QDesktopServices::openUrl(url);
}

TWorkerThreadPool::TWorkerThreadPool(int maxThreads) { FPool.setMaxThreadCount(maxThreads); }

TWorkerThreadPool::~TWorkerThreadPool() { FPool.waitForDone(); }

int TWorkerThreadPool::MaxThreadCount() const { return FPool.maxThreadCount(); }

void TWorkerThreadPool::Queue(std::function<void()> job) {
    FPool.start([job = std::move(job)] {
        try {
            job();
        } catch (...) {
            // A failed shell request has nobody to report to: the dialog did not wait for it.
        }
    });
}

bool TWorkerThreadPool::WaitForDone(int msecs) { return FPool.waitForDone(msecs); }

TShell::TShell(std::shared_ptr<IShellOpener> opener, int maxThreads)
    : FOpener(std::move(opener)), FPool(maxThreads) {}

void TShell::OpenFileWithShell(std::string_view verb, std::string_view file) {
    std::string target = StripEnclosingQuotes(file);
    if (target.empty()) return;
    FPool.Queue([opener = FOpener, verb = std::string(verb), target = std::move(target)] {
        opener->Open(verb, target, {});
    });
}

}  // namespace qm

#include "UShellJobs.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <mutex>

#include "UStringUtil.h"

namespace qm {

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// Qt does not document the desktop services as safe on several threads at
// once (the first call settles which launcher to use in shared state). Qt 6.4
// happens to lock inside openUrl; requests from the pool take turns here as
// well, so that safety does not hang on the Qt version. Each request only
// starts a program or sends one message, so the turns are short.
std::mutex& DesktopLock() {
    static std::mutex lock;
    return lock;
}

bool OpenUrl(const QUrl& url) {
    const std::lock_guard lock(DesktopLock());
    return QDesktopServices::openUrl(url);
}

// The file manager interface of freedesktop.org
// (https://www.freedesktop.org/wiki/Specifications/file-manager-interface/):
// ShowItems(array of URIs, startup id) opens the folders and selects the items.
bool ShowItemsOverDBus(const QUrl& item) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList{item.toString(QUrl::FullyEncoded)} << QString();
    // A file manager that is started for the call may take a moment; one
    // that does not answer at all must not hold a worker for good.
    constexpr int kReplyTimeoutMs = 10000;
    return bus.call(call, QDBus::Block, kReplyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

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
    if (!parameters.empty()) {
        const std::lock_guard lock(DesktopLock());
        return QProcess::startDetached(ToQString(target), QProcess::splitCommand(ToQString(parameters)));
    }
    return OpenUrl(IsUrlTarget(target) ? QUrl(ToQString(target)) : QUrl::fromLocalFile(ToQString(target)));
}

bool TDesktopShellOpener::ShowInFolder(const std::string& file) {
    const QFileInfo info(ToQString(file));
    // The D-Bus call does not touch the desktop services' shared state and
    // may wait for a file manager to start: it runs outside the turns.
    if (ShowItemsOverDBus(QUrl::fromLocalFile(info.absoluteFilePath()))) return true;
    return OpenUrl(QUrl::fromLocalFile(info.absolutePath()));
}

TWorkerThreadPool::TWorkerThreadPool(int maxThreads) { FPool->setMaxThreadCount(maxThreads); }

TWorkerThreadPool::~TWorkerThreadPool() {
    if (FPool->waitForDone(kShellExitWaitMs)) return;
    FPool->clear();  // not started by now: dropped
    // A call still hangs: the pool and its threads are left to the
    // process's end instead of being waited for.
    static_cast<void>(FPool.release());
}

int TWorkerThreadPool::MaxThreadCount() const { return FPool->maxThreadCount(); }

void TWorkerThreadPool::Queue(std::function<void()> job) {
    FPool->start([job = std::move(job)] {
        try {
            job();
        } catch (...) {
            // A failed shell request has nobody to report to: the dialog did not wait for it.
        }
    });
}

bool TWorkerThreadPool::WaitForDone(int msecs) { return FPool->waitForDone(msecs); }

TShell::TShell(std::shared_ptr<IShellOpener> opener, int maxThreads)
    : FOpener(std::move(opener)), FPool(maxThreads) {}

void TShell::OpenFileWithShell(std::string_view verb, std::string_view file) {
    std::string target = StripEnclosingQuotes(file);
    if (target.empty()) return;
    FPool.Queue([opener = FOpener, verb = std::string(verb), target = std::move(target)] {
        opener->Open(verb, target, {});
    });
}

void TShell::ShowInFolder(std::string_view file) {
    if (file.empty()) return;
    FPool.Queue([opener = FOpener, file = std::string(file)] { opener->ShowInFolder(file); });
}

}  // namespace qm

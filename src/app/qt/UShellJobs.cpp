#include "UShellJobs.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputEvent>
#include <QProcess>
#include <QUrl>
#include <mutex>

#include "UErrorGuard.h"
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
bool ShowItemsOverDBus(const QUrl& item, const std::string& startupId) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList{item.toString(QUrl::FullyEncoded)} << QString::fromStdString(startupId);
    // A file manager that is started for the call may take a moment; one
    // that does not answer at all must not hold a worker for good.
    constexpr int kReplyTimeoutMs = 10000;
    return bus.call(call, QDBus::Block, kReplyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

bool TDesktopShellOpener::Open(const std::string& verb, const std::string& target, const std::string& parameters) {
    if (!SameTextIgnoreCase(verb, "open")) return false;
    if (!parameters.empty()) {
        const std::lock_guard lock(DesktopLock());
        return QProcess::startDetached(ToQString(target), QProcess::splitCommand(ToQString(parameters)));
    }
    return OpenUrl(IsUrlTarget(target) ? QUrl(ToQString(target)) : QUrl::fromLocalFile(ToQString(target)));
}

bool TDesktopShellOpener::ShowInFolder(const std::string& file, const std::string& startupId) {
    const QFileInfo info(ToQString(file));
    // The D-Bus call does not touch the desktop services' shared state and
    // may wait for a file manager to start: it runs outside the turns.
    if (ShowItemsOverDBus(QUrl::fromLocalFile(info.absoluteFilePath()), startupId)) return true;
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

std::string X11StartupId(std::int64_t pid, unsigned sequence, std::uint64_t userTime) {
    return "quillmark-" + std::to_string(pid) + "-" + std::to_string(sequence) + "_TIME" + std::to_string(userTime);
}

// Keeps the time stamp of the last key or mouse button event the application
// received; on X11 Qt gives input events the X server's time.
class TUserTimeWatch : public QObject {
public:
    TUserTimeWatch() {
        if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
    }
    std::uint64_t LastUserTime() const noexcept { return FLast; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
                FLast = static_cast<QInputEvent*>(event)->timestamp();
                break;
            default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::uint64_t FLast = 0;
};

namespace {

// What the user sees when the desktop refused a request: the error box,
// shown on the user-interface thread once the worker's job is over. Without
// an application object (no window to show it over) nothing is shown.
void ReportShellFailure(std::string_view target, bool inFolder) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    std::string text = ShellFailureText(target, inFolder, kDesktopRefusedReason);
    QMetaObject::invokeMethod(app, [text = std::move(text)] { ShowErrorBox(text); }, Qt::QueuedConnection);
}

}  // namespace

TShell::TShell(std::shared_ptr<IShellOpener> opener, int maxThreads)
    : FOpener(std::move(opener)), FUserTime(std::make_unique<TUserTimeWatch>()), FPool(maxThreads) {}

TShell::~TShell() = default;

void TShell::OpenFileWithShell(std::string_view verb, std::string_view file) {
    std::string target = StripEnclosingQuotes(file);
    if (target.empty()) return;
    FPool.Queue([opener = FOpener, verb = std::string(verb), target = std::move(target)] {
        if (!opener->Open(verb, target, {})) ReportShellFailure(target, false);
    });
}

void TShell::ShowInFolder(std::string_view file) {
    if (file.empty()) return;
    // Wayland has no such id; its activation token is not to be had through
    // this Qt. Without any input seen there is no time to give.
    std::string startupId;
    if (QGuiApplication::platformName() == QStringLiteral("xcb") && FUserTime->LastUserTime() != 0) {
        startupId = X11StartupId(QCoreApplication::applicationPid(), ++FStartupSequence, FUserTime->LastUserTime());
    }
    FPool.Queue([opener = FOpener, file = std::string(file), startupId = std::move(startupId)] {
        if (!opener->ShowInFolder(file, startupId)) ReportShellFailure(file, true);
    });
}

}  // namespace qm

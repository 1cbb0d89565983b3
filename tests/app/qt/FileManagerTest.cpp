// "Im Ordner zeigen" on the desktop: the file manager service of the session
// bus gets the file, and without that service the folder is opened. Runs on
// a private session bus of its own (dbus-run-session, see CMakeLists.txt),
// where this test plays the file manager.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QStringList>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <mutex>
#include <thread>

#include "UShellJobs.h"

// The file manager as the freedesktop.org file manager interface describes it.
class TFakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList Shown;
    QStringList StartupIds;
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Shown += uris;
        StartupIds += startupId;
    }
};

// Stands in for the desktop's opener of "file" URLs.
class TFolderOpener : public QObject {
    Q_OBJECT
public:
    std::mutex Lock;
    QList<QUrl> Opened;
public slots:
    void open(const QUrl& url) {
        const std::lock_guard lock(Lock);
        Opened << url;
    }
};

namespace {

// Runs the opener's request on a worker thread, as the shell pool does,
// while this thread serves the bus.
bool ShowInFolder(qm::TDesktopShellOpener& opener, const std::string& file) {
    std::atomic<bool> done{false};
    bool result = false;
    std::thread worker([&] {
        result = opener.ShowInFolder(file, qm::X11StartupId(4711, 1, 123456789));
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 20000);
    worker.join();
    return finished && result;
}

TEST(DesktopShell, ShowsTheFileThroughTheFileManagerServiceElseOpensItsFolder) {
    if (qEnvironmentVariableIsEmpty("QM_PRIVATE_BUS")) GTEST_SKIP() << "runs on a private session bus (ctest)";
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    TFakeFileManager manager;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    TFolderOpener folders;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &folders, "open");

    qm::TDesktopShellOpener opener;
    EXPECT_TRUE(ShowInFolder(opener, "/tmp/Neue Karten/Anna Berg & S\xC3\xB6hne.vcf"));
    EXPECT_EQ(manager.Shown, QStringList{QStringLiteral("file:///tmp/Neue%20Karten/Anna%20Berg%20&%20S%C3%B6hne.vcf")});
    // The window may come to the front for the user's click at that time.
    EXPECT_EQ(manager.StartupIds, QStringList{QStringLiteral("quillmark-4711-1_TIME123456789")});

    // No file manager on the bus: the folder itself is opened.
    ASSERT_TRUE(bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1")));
    EXPECT_TRUE(ShowInFolder(opener, "/tmp/Neue Karten/Anna Berg.vcf"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(manager.Shown.size(), 1);
    const std::lock_guard lock(folders.Lock);
    EXPECT_EQ(folders.Opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/Neue Karten"))});
}

}  // namespace

#include "FileManagerTest.moc"

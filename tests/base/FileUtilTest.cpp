#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "TestFiles.h"
#include "UBoundedCall.h"
#include "UErrors.h"
#include "UFileUtil.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// A fresh folder per test, used as $TMPDIR.
class FileUtil : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return env_.Path(name); }
    static void Write(const std::string& path, const std::string& content) { test::WriteBytes(path, content); }

    test::TTempDirEnv env_;
    const std::string& root_ = env_.Root();
};

}  // namespace

TEST_F(FileUtil, TempAndWorkingFolder) {
    EXPECT_EQ(GetTempFolder(), root_ + test::kSep);  // the separator is added
    const std::string wf = GetWorkingFolder();
    EXPECT_EQ(wf, env_.Working());
    EXPECT_TRUE(FolderExists(wf));
    const std::string sub = env_.Working() + "sub" + test::kSep;
    EXPECT_EQ(GetWorkingFolder("sub"), sub);
    EXPECT_TRUE(FolderExists(sub));
}

#ifndef _WIN32
TEST_F(FileUtil, PosixTempAndWorkingFolder) {
    const std::string wf = GetWorkingFolder();
    struct stat st {};
    ASSERT_EQ(::stat(wf.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::setenv("TMPDIR", "", 1);
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(GetTempFolder(), xdg && *xdg ? std::string(xdg) + (std::string(xdg).back() == '/' ? "" : "/") : "/tmp/");
}

TEST_F(FileUtil, WorkingFolderNarrowsLooseMode) {
    fs::create_directory(P("CVTempDir"));
    ::chmod(P("CVTempDir").c_str(), 0777);
    GetWorkingFolder();
    struct stat st {};
    ASSERT_EQ(::stat(P("CVTempDir").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(FileUtil, WorkingFolderRefusesLinkAndForeignOwner) {
    fs::create_directory(P("elsewhere"));
    fs::create_directory_symlink(P("elsewhere"), P("CVTempDir"));
    EXPECT_THROW(GetWorkingFolder(), EUnsafeFolderError);
    fs::remove(P("CVTempDir"));
    if (::geteuid() == 0) {
        fs::create_directory(P("CVTempDir"));
        ASSERT_EQ(::chown(P("CVTempDir").c_str(), 65534, 65534), 0);
        try {
            GetWorkingFolder();
            FAIL() << "a folder of another user was accepted";
        } catch (const EUnsafeFolderError& e) {
            EXPECT_NE(std::string(e.what()).find("anderen Benutzer"), std::string::npos);
        }
    }
}

#endif

// Another user created the working folder first (a shared temporary folder
// of a terminal server): it is refused, with the German message.
TEST_F(FileUtil, AWorkingFolderOwnedByAnotherUserIsRefused) {
    GetWorkingFolder();
    struct TLookupReset {
        ~TLookupReset() { SetFolderOwnerLookup({}); }
    } reset;
    SetFolderOwnerLookup([](const std::string&) { return std::string("S-1-5-21-1-2-3-4242"); });
    try {
        GetWorkingFolder();
        ADD_FAILURE() << "a folder of another user was accepted";
    } catch (const EUnsafeFolderError& e) {
        EXPECT_NE(std::string(e.what()).find("anderen Benutzer"), std::string::npos);
    }
    SetFolderOwnerLookup({});
    EXPECT_NO_THROW(GetWorkingFolder());
}

TEST_F(FileUtil, ForceFoldersMakesRelativeFoldersBelowTheCurrentOne) {
    const fs::path before = fs::current_path();
    fs::current_path(test::U8Path(root_));
    const bool made = ForceFolders("out" + std::string(1, test::kSep) + "cards");
    fs::current_path(before);
    EXPECT_TRUE(made);
    EXPECT_TRUE(fs::is_directory(test::U8Path(P("out") + test::kSep + "cards")));
}

TEST(PeerPath, OnlyAbsoluteLocalPathsWithoutStreamsOrNul) {
    struct TCase {
        std::string Path;
        bool Windows;
        bool Accepted;
    };
    const TCase cases[] = {
        {"C:\\Users\\anna\\AppData\\Local\\Temp\\CVTempDir\\a.json", true, true},
        {"d:\\x.json", true, true},
        {"C:x.json", true, false},
        {"C:/x.json", true, false},
        {"\\x.json", true, false},
        {"x.json", true, false},
        {"C:\\x.json:stream", true, false},
        {"C:\\x.json::$DATA", true, false},
        {"\\\\?\\C:\\x.json", true, false},
        {"\\\\.\\pipe\\x", true, false},
        {"\\\\server\\share\\x.json", true, false},
        {std::string("C:\\x.json\0.txt", 14), true, false},
        {"/tmp/CVTempDir/a.json", false, true},
        {"/tmp/a:b.json", false, true},
        {"tmp/a.json", false, false},
        {"", false, false},
        {std::string("/tmp/a.json\0x", 14), false, false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(IsLocalAbsolutePath(c.Path, c.Windows), c.Accepted) << c.Path;
    }
}

TEST_F(FileUtil, ExistenceOfFilesAndFolders) {
    Write(P("f.txt"), "x");
    fs::create_directory(P("d"));
    EXPECT_TRUE(FileExistsEx(P("f.txt")));
    EXPECT_FALSE(FileExistsEx(P("d")));
    EXPECT_FALSE(FileExistsEx(P("missing")));
    EXPECT_FALSE(FileExistsEx(P("f.txt/below")));
    EXPECT_FALSE(FileExistsEx(""));
    EXPECT_TRUE(FolderExists(P("d")));
    EXPECT_FALSE(FolderExists(P("f.txt")));
    EXPECT_FALSE(FolderExists(P("missing")));
}

#ifndef _WIN32
TEST_F(FileUtil, ExistenceThroughLinks) {
    Write(P("f.txt"), "x");
    fs::create_directory(P("d"));
    fs::create_symlink(P("f.txt"), P("link-to-file"));
    fs::create_symlink(P("d"), P("link-to-dir"));
    fs::create_symlink(P("nowhere"), P("dangling"));
    EXPECT_TRUE(FileExistsEx(P("link-to-file")));
    EXPECT_FALSE(FileExistsEx(P("link-to-dir")));
    EXPECT_TRUE(FolderExists(P("link-to-dir")));
    EXPECT_FALSE(FileExistsEx(P("dangling")));
    // A target we may not open still exists.
    ::chmod(P("f.txt").c_str(), 0);
    EXPECT_TRUE(FileExistsEx(P("link-to-file")));
}
#endif

TEST_F(FileUtil, DeleteFileIfExists) {
    Write(P("f"), "x");
    EXPECT_TRUE(DeleteFileIfExists(P("f")));
    EXPECT_FALSE(fs::exists(P("f")));
    EXPECT_TRUE(DeleteFileIfExists(P("f")));
    fs::create_directory(P("d"));
    EXPECT_TRUE(DeleteFileIfExists(P("d")));  // not a file: nothing to delete
    EXPECT_TRUE(fs::exists(P("d")));
}

TEST_F(FileUtil, ForceFolders) {
    EXPECT_TRUE(ForceFolders(P("a/b/c/")));
    EXPECT_TRUE(FolderExists(P("a/b/c")));
    EXPECT_TRUE(ForceFolders(P("a/b/c")));
    Write(P("file"), "x");
    EXPECT_FALSE(ForceFolders(P("file/sub")));
    try {
        ForceFolders("");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "Verzeichnis kann nicht erstellt werden");
        EXPECT_EQ(e.ErrorCode, 3);
    }
}

TEST_F(FileUtil, CopyCopiesLargeFilesAndCreatesFolders) {
    std::string big(61440 * 3 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    Write(P("src"), big);
    EXPECT_TRUE(CopyFileWithRetry(P("src"), P("new/dir/dest")));
    EXPECT_EQ(ReadFileToString(P("new/dir/dest")), big);
    Write(P("small"), "abc");
    EXPECT_TRUE(CopyFileWithRetry(P("small"), P("new/dir/dest")));  // truncates
    EXPECT_EQ(ReadFileToString(P("new/dir/dest")), "abc");
    EXPECT_THROW(CopyFileWithRetry(P("missing"), P("x")), EInOutError);
}

TEST_F(FileUtil, CopyRetriesWhileDestinationIsBlocked) {
    Write(P("src"), "payload");
    fs::create_directory(P("dest"));  // a folder in the way: every attempt fails
    std::vector<long> sleeps;
    EXPECT_FALSE(CopyFileWithRetry(P("src"), P("dest"), [&](std::chrono::milliseconds ms) {
        sleeps.push_back(static_cast<long>(ms.count()));
    }));
    EXPECT_EQ(sleeps, (std::vector<long>{100, 200, 300, 400, 500, 600, 700, 800, 900}));
    EXPECT_TRUE(fs::is_directory(P("dest")));

    // The blocker goes away during the third wait: the fourth attempt succeeds.
    sleeps.clear();
    EXPECT_TRUE(CopyFileWithRetry(P("src"), P("dest"), [&](std::chrono::milliseconds ms) {
        sleeps.push_back(static_cast<long>(ms.count()));
        if (sleeps.size() == 3) fs::remove(P("dest"));
    }));
    EXPECT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(ReadFileToString(P("dest")), "payload");
    // No temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(root_)) ++entries;
    EXPECT_EQ(entries, 2);
}

TEST_F(FileUtil, LoadLinesWithRetry) {
    TStringList list{"kept"};
    LoadLinesWithRetry(list, P("missing"));
    EXPECT_EQ(list.Items, std::vector<std::string>{"kept"});
    Write(P("lines"), "first\r\nsecond\nthird\r");
    LoadLinesWithRetry(list, P("lines"));
    EXPECT_EQ(list.Items, (std::vector<std::string>{"first", "second", "third"}));
}

// A call that never returns is given up at its deadline; the worker left
// behind ends by itself once the call returns, and no more than
// kMaxBoundedWorkers are ever left behind.
TEST(BoundedCall, AStuckCallIsGivenUpAndOnlyAFewAreLeftBehind) {
    using Clock = std::chrono::steady_clock;
    while (BoundedWorkersRunning() != 0) std::this_thread::yield();  // those of earlier tests
    const auto far = Clock::now() + std::chrono::seconds(60);
    EXPECT_EQ(CallWithin(far, [] { return 7; }), std::optional<int>(7));
    EXPECT_THROW(RunWithin(far, [] { throw EInOutError("gesperrt", 32); }), EInOutError);
    // Calls in quick succession, each worker still ending as the next
    // starts, all come back in time (Windows threads once lost some here).
    int inTime = 0;
    for (int i = 0; i < 300; ++i) inTime += RunWithin(Clock::now() + std::chrono::seconds(20), [] {}) ? 1 : 0;
    EXPECT_EQ(inTime, 300);

    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    for (std::size_t i = 0; i < kMaxBoundedWorkers; ++i) {
        EXPECT_EQ(CallWithin(Clock::now() + std::chrono::milliseconds(20), [released] {
                      released.wait();
                      return true;
                  }),
                  std::nullopt);
    }
    EXPECT_EQ(BoundedWorkersRunning(), kMaxBoundedWorkers);
    // While so many are stuck, a further call is not started at all.
    auto started = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(RunWithin(far, [started] { *started = true; }));
    EXPECT_FALSE(RunWithin(Clock::now(), [started] { *started = true; }));  // no time left
    release.set_value();
    while (BoundedWorkersRunning() != 0) std::this_thread::yield();
    EXPECT_FALSE(started->load());
}

TEST_F(FileUtil, WriteFileAtomicReplacesWholeOrNothing) {
    WriteFileAtomic(P("card.vcf"), "BEGIN:VCARD");
    EXPECT_EQ(ReadFileToString(P("card.vcf")), "BEGIN:VCARD");
    WriteFileAtomic(P("card.vcf"), "second");
    EXPECT_EQ(ReadFileToString(P("card.vcf")), "second");
    EXPECT_THROW(WriteFileAtomic(P("no/such/folder/x"), "y"), EInOutError);
    fs::create_directory(P("blocked"));
    EXPECT_THROW(WriteFileAtomic(P("blocked"), "y"), EInOutError);
    EXPECT_TRUE(fs::is_directory(P("blocked")));
}

TEST_F(FileUtil, WriteFileAtomicAndCopyTakeNamesUpToTheLimit) {
    // 255 bytes with a two-byte character across the point where the
    // temporary name must be cut.
    const std::string name = std::string(246, 'a') + "\xC3\xA4" + "xxx.vcf";
    ASSERT_EQ(name.size(), 255u);
    WriteFileAtomic(P(name), "BEGIN:VCARD");
    EXPECT_EQ(ReadFileToString(P(name)), "BEGIN:VCARD");
    const std::string copy = std::string(251, 'b') + ".png";
    EXPECT_TRUE(CopyFileWithRetry(P(name), P(copy), [](std::chrono::milliseconds) {}));
    EXPECT_EQ(ReadFileToString(P(copy)), "BEGIN:VCARD");
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(root_)) ++entries;
    EXPECT_EQ(entries, 2);
}

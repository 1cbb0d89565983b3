// The file rules as Windows has them: sharing modes, reparse points, UTF-16
// names and paths beyond MAX_PATH.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "TestFiles.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UPeerFile.h"
#include "UWinHandle.h"
#include "UWinText.h"

using namespace qm;

namespace {

class FileUtilWin32 : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return env_.Path(name); }

    // Opens `path` for reading with the given sharing mode.
    static TWinHandle Open(const std::string& path, DWORD share) {
        return TWinHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    // A directory symbolic link at `link` to `target`; false when this
    // system cannot make one that shows as a reparse point (Windows needs a
    // privilege or developer mode; Wine 8 reports success and makes nothing).
    static bool MakeFolderLink(const std::string& link, const std::string& target) {
        if (!::CreateSymbolicLinkW(ToWide(link).c_str(), ToWide(target).c_str(),
                                   SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
            return false;
        }
        const DWORD attrs = ::GetFileAttributesW(ToWide(link).c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }

    test::TTempDirEnv env_;
};

}  // namespace

TEST_F(FileUtilWin32, WorkingFolderLiesInTheTempPath) {
    // GetTempPathW reads %TMP% first; the path it returns ends in "\".
    EXPECT_EQ(GetTempFolder(), env_.Root() + "\\");
    EXPECT_EQ(GetWorkingFolder(), env_.Root() + "\\CVTempDir\\");
}

TEST_F(FileUtilWin32, FileHeldWithoutSharingStillExists) {
    test::WriteBytes(P("held.vcf"), "BEGIN:VCARD");
    const TWinHandle held = Open(P("held.vcf"), 0);
    ASSERT_TRUE(held);
    ASSERT_FALSE(Open(P("held.vcf"), FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(FileExistsEx(P("held.vcf")));
    // Deleting fails while the holder has not allowed it, and says so.
    EXPECT_FALSE(DeleteFileIfExists(P("held.vcf")));
    EXPECT_THROW(ReadFileToString(P("held.vcf")), EInOutError);
}

// A reader that did not allow deleting (a viewer, a scanner) holds the card
// for a moment: the replace waits for it instead of failing.
TEST_F(FileUtilWin32, AReplaceWaitsForAReaderThatHoldsTheFile) {
    test::WriteBytes(P("card.vcf"), "old");
    TWinHandle held = Open(P("card.vcf"), FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(held);
    int waits = 0;
    EXPECT_NO_THROW(WriteFileAtomic(P("card.vcf"), "new", [&](std::chrono::milliseconds) {
        if (++waits == 3) held.Reset();
    }));
    EXPECT_EQ(waits, 3);
    EXPECT_EQ(ReadFileToString(P("card.vcf")), "new");
    // Our own readers never block a replace.
    const std::string text = ReadRegularFile(P("card.vcf"));
    EXPECT_EQ(text, "new");
}

TEST_F(FileUtilWin32, DestinationHeldOpenIsRetriedUntilFree) {
    test::WriteBytes(P("src"), "payload");
    test::WriteBytes(P("dest"), "old");
    TWinHandle held = Open(P("dest"), 0);
    ASSERT_TRUE(held);
    int waits = 0;
    EXPECT_TRUE(CopyFileWithRetry(P("src"), P("dest"), [&](std::chrono::milliseconds) {
        if (++waits == 2) held.Reset();
    }));
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(ReadFileToString(P("dest")), "payload");
}

TEST_F(FileUtilWin32, ReparsePointWorkingFolderIsRefused) {
    test::TTempFolder elsewhere;
    std::string temp = env_.Root();
    if (!MakeFolderLink(temp + "\\CVTempDir", elsewhere.Root())) {
        // Wine makes no Windows links but shows a Unix link to a folder as
        // one: the Windows tree's build made such a link (tests/base).
        const char* prepared = std::getenv("QM_LINKED_TEMP");
        ASSERT_TRUE(prepared != nullptr) << "no directory symbolic link can be made, and none was prepared";
        temp = prepared;
        test::SetEnv(test::TTempDirEnv::kVariable, prepared);
    }
    try {
        GetWorkingFolder();
        FAIL() << "a linked working folder was accepted";
    } catch (const EUnsafeFolderError& e) {
        EXPECT_NE(std::string(e.what()).find("symbolischer Link"), std::string::npos) << e.what();
    }
    // The address file rule: a link is never deleted as if it were the file.
    EXPECT_THROW(TPeerFile{temp + "\\CVTempDir"}, ENotRegularFileError);
    EXPECT_TRUE(FolderExists(temp + "\\CVTempDir"));
}

TEST_F(FileUtilWin32, AnyUnicodeNameRoundTrips) {
    // Greek, Cyrillic, CJK and a character outside the BMP (a surrogate pair
    // in UTF-16): none of them is in any ANSI code page together.
    const std::string name = "\xCE\xA9 \xD0\x96\xD0\xB0\xD0\xBD \xE6\x9D\xB1 \xF0\x9F\x98\x80.vcf";
    WriteFileAtomic(P(name), "BEGIN:VCARD");
    EXPECT_TRUE(FileExistsEx(P(name)));
    EXPECT_EQ(ReadFileToString(P(name)), "BEGIN:VCARD");
    EXPECT_TRUE(CopyFileWithRetry(P(name), P("copy " + name)));
    EXPECT_EQ(ReadRegularFile(P("copy " + name)), "BEGIN:VCARD");

    // The name in the folder is exactly the UTF-16 form of the UTF-8 name.
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW(ToWide(P(name)).c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    ::FindClose(find);
    EXPECT_EQ(FromWide(data.cFileName), name);

    {
        // Read and deleted through one handle, found by its final path.
        TPeerFile peer(P(name));
        EXPECT_EQ(peer.Read(), "BEGIN:VCARD");
        EXPECT_TRUE(peer.DeleteIfUnchanged());
    }
    EXPECT_FALSE(FileExistsEx(P(name)));
}

TEST_F(FileUtilWin32, PathsLongerThanMaxPath) {
    const std::string deep = P(std::string(120, 'd')) + "\\" + std::string(120, 'e');
    const std::string file = deep + "\\" + std::string(200, 'f') + ".png";
    ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
    EXPECT_TRUE(ForceFolders(deep));
    EXPECT_TRUE(FolderExists(deep));
    WriteFileAtomic(file, "PNG");
    EXPECT_TRUE(FileExistsEx(file));
    EXPECT_EQ(ReadFileToString(file), "PNG");
    EXPECT_TRUE(DeleteFileIfExists(file));
    EXPECT_FALSE(FileExistsEx(file));
}

TEST_F(FileUtilWin32, OnlyDiskFilesAreReadOrDeletedAsRegularFiles) {
    // The NUL device opens like a file but is none: reading it is refused.
    try {
        ReadRegularFile("NUL");
        FAIL() << "the NUL device was read as a file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, ERROR_INVALID_PARAMETER);
    }
    ::CreateDirectoryW(ToWide(P("folder")).c_str(), nullptr);
    EXPECT_THROW(TPeerFile{P("folder")}, EInOutError);  // a folder opens only with backup semantics
    EXPECT_TRUE(FolderExists(P("folder")));
    EXPECT_THROW(TPeerFile{P("missing")}, EInOutError);
}

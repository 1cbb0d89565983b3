// Files whose names come from another process, as POSIX has them: links,
// FIFOs and folders are neither read nor deleted as if they were files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "TestFiles.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UPeerFile.h"

using namespace qm;
namespace fs = std::filesystem;

TEST(FileUtilPosix, PeerFileOpensOnlyRegularFilesAndDeletesOnlyThem) {
    test::TTempFolder dir;
    test::WriteBytes(dir.Path("target"), "kept");
    fs::create_symlink(dir.Path("target"), dir.Path("link"));
    fs::create_directory(dir.Path("folder"));
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);

    EXPECT_THROW(TPeerFile{dir.Path("link")}, ENotRegularFileError);
    EXPECT_THROW(TPeerFile{dir.Path("folder")}, ENotRegularFileError);
    EXPECT_THROW(TPeerFile{dir.Path("fifo")}, ENotRegularFileError);  // without waiting for a writer
    EXPECT_THROW(TPeerFile{dir.Path("missing")}, EInOutError);
    EXPECT_TRUE(fs::is_symlink(dir.Path("link")));
    EXPECT_TRUE(fs::exists(dir.Path("fifo")));

    TPeerFile target(dir.Path("target"));
    EXPECT_EQ(target.Read(), "kept");
    EXPECT_TRUE(target.DeleteIfUnchanged());
    EXPECT_FALSE(fs::exists(dir.Path("target")));
}

TEST(FileUtilPosix, ReadRegularFileRefusesFifoWithoutWaiting) {
    test::TTempFolder dir;
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    try {
        ReadRegularFile(dir.Path("fifo"));
        FAIL() << "a FIFO was read";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, EINVAL);
    }
    test::WriteBytes(dir.Path("f"), std::string("a\0b", 3));
    EXPECT_EQ(ReadRegularFile(dir.Path("f")), std::string("a\0b", 3));
}

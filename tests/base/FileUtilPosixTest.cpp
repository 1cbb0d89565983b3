// Files whose names come from another process, as POSIX has them: links,
// FIFOs and folders are neither read nor deleted as if they were files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "TestFiles.h"
#include "UErrors.h"
#include "UFileUtil.h"

using namespace qm;
namespace fs = std::filesystem;

TEST(FileUtilPosix, DeleteRegularFileLeavesLinksFoldersAndFifos) {
    test::TTempFolder dir;
    test::WriteBytes(dir.Path("target"), "kept");
    fs::create_symlink(dir.Path("target"), dir.Path("link"));
    fs::create_directory(dir.Path("folder"));
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);

    EXPECT_FALSE(DeleteRegularFile(dir.Path("link")));
    EXPECT_TRUE(fs::is_symlink(dir.Path("link")));
    EXPECT_FALSE(DeleteRegularFile(dir.Path("folder")));
    EXPECT_FALSE(DeleteRegularFile(dir.Path("fifo")));
    EXPECT_TRUE(fs::exists(dir.Path("fifo")));
    EXPECT_FALSE(DeleteRegularFile(dir.Path("missing")));

    EXPECT_TRUE(DeleteRegularFile(dir.Path("target")));
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

// The Windows programs as the packages carry them (the Windows tree's
// package folder, from which the MSI and the zip are made): each has a
// version resource naming the product, the project's version and its own
// file name, and the dialog keeps its icon and manifest beside it. Needs the
// Windows tree: $QM_WIN64_DIR (./check sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PEVersionInfo.h"
#include "TestFiles.h"
#include "UVersion.h"

namespace qm {
namespace {

constexpr std::uint32_t kRtGroupIcon = 14, kRtVersion = 16, kRtManifest = 24;

class WinResources : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QM_WIN64_DIR");
        if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QM_WIN64_DIR is not set (./check sets it)";
        files_ = std::string(dir) + "/package-files/";
        if (!std::filesystem::exists(files_ + "quillmark.exe")) GTEST_SKIP() << "no package files in " << dir;
    }
    std::string files_;
};

TEST_F(WinResources, EveryProgramNamesTheProductTheVersionAndItsFile) {
    const std::string version(kProjectVersion);
    for (const std::string name : {"quillmark", "quillmark-card", "quillmark-host", "quillmark-ipc"}) {
        SCOPED_TRACE(name);
        const test::TVersionInfo info = test::PEVersionInfo(test::ReadBytes(files_ + name + ".exe"));
        EXPECT_EQ(info.Strings.at("ProductName"), "Quillmark");
        EXPECT_EQ(info.Strings.at("ProductVersion"), version);
        EXPECT_EQ(info.Strings.at("FileVersion"), version);
        EXPECT_EQ(info.Strings.at("OriginalFilename"), name + ".exe");
        EXPECT_EQ(info.Strings.at("InternalName"), name);
        EXPECT_TRUE(info.Strings.at("FileDescription").starts_with("Quillmark \xE2\x80\x93 "))
            << info.Strings.at("FileDescription");
        EXPECT_FALSE(info.Strings.at("CompanyName").empty());
        EXPECT_TRUE(info.Strings.at("LegalCopyright").starts_with("Copyright"));
        const std::string fixed = std::to_string(info.FileVersion[0]) + "." + std::to_string(info.FileVersion[1]) +
                                  "." + std::to_string(info.FileVersion[2]);
        EXPECT_EQ(fixed, version);
        EXPECT_EQ(info.FileVersion[3], 0);
        EXPECT_EQ(info.ProductVersion, info.FileVersion);
    }
}

// The icon has a frame for the small and the large icon at every common
// scale and for the shell's views, the largest a PNG.
TEST_F(WinResources, DialogKeepsItsIconAndManifest) {
    const std::string exe = test::ReadBytes(files_ + "quillmark.exe");
    EXPECT_EQ(test::PEResourceTypes(exe),
              (std::set<std::uint32_t>{3 /* RT_ICON */, kRtGroupIcon, kRtVersion, kRtManifest}));
    EXPECT_EQ(test::PEIconFrames(exe),
              (std::vector<test::TIconFrame>{{16, false}, {20, false}, {24, false}, {32, false}, {48, false},
                                             {64, false}, {128, false}, {256, true}}));
}

// The loader places every program at a random 64-bit address and never runs
// its data: IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA (0x20), DYNAMIC_BASE
// (0x40) and NX_COMPAT (0x100); and a terminal server runs it without
// compatibility shims: TERMINAL_SERVER_AWARE (0x8000).
TEST_F(WinResources, EveryProgramAsksForAddressRandomisationAndDataNeverRun) {
    for (const std::string name : {"quillmark", "quillmark-card", "quillmark-host", "quillmark-ipc"}) {
        EXPECT_EQ(test::PEDllCharacteristics(test::ReadBytes(files_ + name + ".exe")) & 0x8160, 0x8160) << name;
    }
}

TEST(PEReading, RefusesWhatIsNoProgram) {
    EXPECT_THROW(test::PEVersionInfo("MZ but nothing more"), std::runtime_error);
    EXPECT_THROW(test::PEVersionInfo(test::ReadBytes(QM_SOURCE_DIR "/samples/anna-berg.json")), std::runtime_error);
}

}  // namespace
}  // namespace qm

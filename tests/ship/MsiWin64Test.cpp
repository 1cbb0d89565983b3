// The MSI under Wine, as an administrator deploys it: a silent install puts
// the programs, the sample and the guides into C:\Program Files\Quillmark,
// the installed programs run, the App Paths key and InstallDir name them; a
// package of a higher version replaces it (one entry in "Apps", one set of
// files) and the older package is then refused; a silent removal leaves no
// file, folder or key behind. Runs in a fresh private Wine prefix. Needs the
// Windows tree: $QM_WIN64_DIR (./check sets it), wine and wixl.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "HostProcess.h"
#include "PEVersionInfo.h"
#include "TestFiles.h"
#include "UVersion.h"

namespace fs = std::filesystem;

namespace qm {
namespace {

const std::string kAppPaths = R"(HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\quillmark.exe)";
const std::string kSettings = R"(HKLM\SOFTWARE\Quillmark)";
const std::string kInstallDir = R"(C:\Program Files\Quillmark\)";

struct TRun {
    int Status;
    std::string Out, Err;
};

class MsiWin64 : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QM_WIN64_DIR");
        if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QM_WIN64_DIR is not set (./check sets it)";
        win64_ = dir;
        msi_ = win64_ + "/quillmark-" + std::string(kProjectVersion) + "-win64.msi";
        if (!fs::exists(msi_)) GTEST_SKIP() << msi_ << " is not built";
        if (std::system("command -v wine >/dev/null && command -v wixl >/dev/null") != 0)
            GTEST_SKIP() << "wine or wixl is not installed";
        // A fresh prefix: nothing installed before, so whatever remains
        // after the removal was left by the package.
        work_ = fs::path(QM_BINARY_DIR) / "tests/ship/msi";
        fs::remove_all(work_);
        fs::create_directories(work_);
        prefix_ = (work_ / "wine").string();
    }
    void TearDown() override {
        if (prefix_.empty()) return;
        Exec({"/usr/bin/env", "WINEPREFIX=" + prefix_, "wineserver", "-k"});
        // The prefix takes some 700 MB: kept only to look into a failure.
        if (!HasFailure()) fs::remove_all(work_);
    }

    TRun Exec(std::vector<std::string> argv) const {
        test::TProcess p(std::move(argv));
        const int status = p.Wait(std::chrono::seconds(100));
        return {status, p.Out(), p.Err()};
    }
    TRun Wine(std::vector<std::string> args) const {
        args.insert(args.begin(), {QM_SOURCE_DIR "/cmake/wine-run.sh", prefix_});
        return Exec(std::move(args));
    }
    // The value `name` (empty: the default value) of `key`, or nullopt
    // when the key or value does not exist.
    std::optional<std::string> RegValue(const std::string& key, const std::string& name) const {
        const TRun r = name.empty() ? Wine({"reg", "query", key, "/ve"}) : Wine({"reg", "query", key, "/v", name});
        if (r.Status != 0) return std::nullopt;
        const auto at = r.Out.find("REG_SZ");
        if (at == std::string::npos) return std::nullopt;
        std::string value = r.Out.substr(r.Out.find_first_not_of(' ', at + 6));
        return value.substr(0, value.find_first_of("\r\n"));
    }
    bool KeyExists(const std::string& key) const { return Wine({"reg", "query", key}).Status == 0; }
    // The products in "Apps" (Wine's uninstaller), one line each.
    std::vector<std::string> Apps() const {
        const TRun r = Wine({"uninstaller", "--list"});
        std::vector<std::string> apps;
        std::istringstream in(r.Out);
        for (std::string line; std::getline(in, line);) {
            if (line.find("Quillmark") != std::string::npos) apps.push_back(line);
        }
        return apps;
    }
    fs::path Folder() const { return fs::path(prefix_) / "drive_c/Program Files/Quillmark"; }
    std::vector<std::string> InstalledFiles() const {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(Folder())) {
            if (!e.is_directory()) files.push_back(fs::relative(e.path(), Folder()).generic_string());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    std::string win64_, msi_, prefix_;
    fs::path work_;
};

TEST_F(MsiWin64, InstallsRunsUpgradesAndRemovesSilently) {
    TRun r = Wine({"msiexec", "/i", "Z:" + msi_, "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    const std::vector<std::string> expected{"host-integration.md", "quillmark-card.exe", "quillmark-host.exe",
                                            "quillmark-ipc.exe",   "quillmark.exe",      "samples/anna-berg.json",
                                            "windows-deployment.md"};
    EXPECT_EQ(InstalledFiles(), expected);
    const test::TVersionInfo info = test::PEVersionInfo(test::ReadBytes((Folder() / "quillmark.exe").string()));
    EXPECT_EQ(info.Strings.at("ProductName"), "Quillmark");
    EXPECT_EQ(info.Strings.at("ProductVersion"), std::string(kProjectVersion));

    for (const std::string program : {"quillmark-card", "quillmark"}) {
        r = Wine({kInstallDir + program + ".exe", "--version"});
        EXPECT_EQ(r.Status, 0) << program << ": " << r.Err;
        EXPECT_EQ(r.Out, program + " " + std::string(kProjectVersion) + "\r\n") << program;
    }
    EXPECT_EQ(RegValue(kAppPaths, ""), kInstallDir + "quillmark.exe");
    EXPECT_EQ(RegValue(kSettings, "InstallDir"), kInstallDir);
    // ShellExecuteEx (through "start") finds the dialog by its name alone,
    // as a host may start it; the other programs have no such key.
    EXPECT_EQ(Wine({"start", "/wait", "quillmark.exe", "--version"}).Status, 0);
    EXPECT_NE(Wine({"start", "/wait", "quillmark-card.exe", "--version"}).Status, 0);
    const std::vector<std::string> apps = Apps();
    ASSERT_EQ(apps.size(), 1u);

    // The same package with a higher version: a major upgrade replaces the
    // installed one.
    std::istringstream version{std::string(kProjectVersion)};
    int major = 0, minor = 0, patch = 0;
    char dot = 0;
    version >> major >> dot >> minor >> dot >> patch;
    const std::string next = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch + 1);
    const std::string upgrade = (work_ / "quillmark-upgrade.msi").string();
    r = Exec({"/usr/bin/env", "wixl", "--arch", "x64", "-D", "QmVersion=" + next, "-o", upgrade,
             win64_ + "/quillmark.wxs"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Wine({"msiexec", "/i", "Z:" + upgrade, "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_EQ(InstalledFiles(), expected);
    const std::vector<std::string> upgraded = Apps();
    ASSERT_EQ(upgraded.size(), 1u);
    EXPECT_NE(upgraded, apps) << "the package of version " << next << " did not replace the installed one";
    EXPECT_EQ(RegValue(kAppPaths, ""), kInstallDir + "quillmark.exe");

    // The first package again, now older than the installed one: refused,
    // and the newer one stays as it was.
    r = Wine({"msiexec", "/i", "Z:" + msi_, "/qn"});
    EXPECT_NE(r.Status, 0) << "a package of a lower version was installed over " << next;
    EXPECT_EQ(Apps(), upgraded);
    EXPECT_EQ(InstalledFiles(), expected);

    r = Wine({"msiexec", "/x", "Z:" + upgrade, "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_FALSE(KeyExists(kAppPaths));
    EXPECT_FALSE(KeyExists(kSettings));
    EXPECT_THAT(Apps(), ::testing::IsEmpty());
    EXPECT_NE(Wine({"start", "/wait", "quillmark.exe", "--version"}).Status, 0);
}

}  // namespace
}  // namespace qm

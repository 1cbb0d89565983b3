// The MSI under Wine, as an administrator deploys it: a silent install puts
// the programs, the sample and the guides into C:\Program Files\Quillmark
// (the test tools only when asked for), the installed programs run, the App
// Paths key and InstallDir name them in both registry views; the ProductCode
// is the one published beside the package, and a rebuilt package of the same
// version is refused; a package of a higher version replaces it (one entry
// in "Apps", one set of files) and the older package is then refused; a
// silent removal leaves no file, folder or key behind. Runs in a fresh private Wine prefix. Needs the
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
const std::string kUninstall = R"(HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\)";
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
        if (std::system("command -v wine >/dev/null && command -v wixl >/dev/null && command -v msiinfo >/dev/null && "
                        "command -v python3 >/dev/null") != 0)
            GTEST_SKIP() << "wine, wixl, msiinfo (msitools) or python3 is not installed";
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
    // The value `name` (empty: the default value) of `key` in the registry
    // view `view` ("64" or "32", as a 32-bit program sees it), or nullopt
    // when the key or value does not exist.
    std::optional<std::string> RegValue(const std::string& key, const std::string& name,
                                        const std::string& view = "64") const {
        std::vector<std::string> args{"reg", "query", key, "/reg:" + view};
        if (name.empty()) {
            args.push_back("/ve");
        } else {
            args.insert(args.end(), {"/v", name});
        }
        const TRun r = Wine(args);
        if (r.Status != 0) return std::nullopt;
        const auto at = r.Out.find("REG_SZ");
        if (at == std::string::npos) return std::nullopt;
        std::string value = r.Out.substr(r.Out.find_first_not_of(' ', at + 6));
        return value.substr(0, value.find_first_of("\r\n"));
    }
    bool KeyExists(const std::string& key, const std::string& view) const {
        return Wine({"reg", "query", key, "/reg:" + view}).Status == 0;
    }
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
    // Builds the package of `version` as the build does, into the test's
    // folder; returns its path.
    std::string BuildMsi(const std::string& version, const std::string& name) const {
        const std::string out = (work_ / name).string();
        const TRun r = Exec({"/usr/bin/env", "cmake", "-DWIXL=wixl", "-DWXS=" + win64_ + "/quillmark.wxs",
                             "-DVERSION=" + version, "-DUPGRADE_CODE=" + Property(msi_, "UpgradeCode"), "-DOUT=" + out,
                             "-P", QM_SOURCE_DIR "/cmake/msi-build.cmake"});
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
        return out;
    }
    std::string Property(const std::string& msi, const std::string& name) const {
        const TRun r = Exec({"/usr/bin/env", "msiinfo", "export", msi, "Property"});
        std::istringstream in(r.Out);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with(name + "\t")) return line.substr(name.size() + 1);
        }
        return {};
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
    // The ProductCode: RFC 4122's name-based UUID of the version in the
    // UpgradeCode's namespace, as published beside the package.
    const std::string code = Property(msi_, "ProductCode");
    const TRun uuid5 = Exec({"/usr/bin/env", "python3", "-c",
                             "import sys, uuid; print('{%s}' % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())",
                             Property(msi_, "UpgradeCode"), std::string(kProjectVersion)});
    EXPECT_EQ(code + "\n", uuid5.Out);
    const std::string published = msi_.substr(0, msi_.size() - 4) + ".productcode.txt";
    EXPECT_EQ(test::ReadBytes(published), code + "\n");
    EXPECT_NE(test::ReadBytes(QM_SOURCE_DIR "/docs/windows-deployment.md").find(code), std::string::npos)
        << "the deployment guide does not name this version's ProductCode " << code;
    const TRun summary = Exec({"/usr/bin/env", "msiinfo", "suminfo", msi_});
    EXPECT_NE(summary.Out.find("Template: x64;1031"), std::string::npos) << summary.Out;
    EXPECT_EQ(Property(msi_, "ProductLanguage"), "1031");

    TRun r = Wine({"msiexec", "/i", "Z:" + msi_, "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    const std::vector<std::string> expected{"host-integration.md", "quillmark-card.exe", "quillmark.exe",
                                            "samples/anna-berg.json", "windows-deployment.md"};
    EXPECT_EQ(InstalledFiles(), expected);
    const test::TVersionInfo info = test::PEVersionInfo(test::ReadBytes((Folder() / "quillmark.exe").string()));
    EXPECT_EQ(info.Strings.at("ProductName"), "Quillmark");
    EXPECT_EQ(info.Strings.at("ProductVersion"), std::string(kProjectVersion));

    for (const std::string program : {"quillmark-card", "quillmark"}) {
        r = Wine({kInstallDir + program + ".exe", "--version"});
        EXPECT_EQ(r.Status, 0) << program << ": " << r.Err;
        EXPECT_EQ(r.Out, program + " " + std::string(kProjectVersion) + "\r\n") << program;
    }
    for (const std::string view : {"64", "32"}) {
        EXPECT_EQ(RegValue(kAppPaths, "", view), kInstallDir + "quillmark.exe") << view;
        EXPECT_EQ(RegValue(kSettings, "InstallDir", view), kInstallDir) << view;
    }
    EXPECT_EQ(RegValue(kUninstall + code, "InstallLocation"), kInstallDir);
    // ShellExecuteEx (through "start") finds the dialog by its name alone,
    // as a host may start it; the other programs have no such key.
    EXPECT_EQ(Wine({"start", "/wait", "quillmark.exe", "--version"}).Status, 0);
    EXPECT_NE(Wine({"start", "/wait", "quillmark-card.exe", "--version"}).Status, 0);
    const std::vector<std::string> apps = Apps();
    ASSERT_EQ(apps.size(), 1u);

    // The same version built again (a new package code, as a rebuild or a
    // new signature gives): the same ProductCode, so it is never installed
    // beside it. Windows refuses it (1638); Wine takes it for the installed
    // product.
    const std::string rebuilt = BuildMsi(std::string(kProjectVersion), "quillmark-rebuilt.msi");
    EXPECT_EQ(Property(rebuilt, "ProductCode"), code);
    r = Wine({"msiexec", "/i", "Z:" + rebuilt, "/qn"});
    EXPECT_THAT(r.Status, ::testing::AnyOf(0, 1638)) << r.Out << r.Err;
    EXPECT_EQ(Apps(), apps);

    // The same package with a higher version, with the tools: a major
    // upgrade replaces the installed one. (Wine leaves the parent feature
    // out when only the child is named: ADDLOCAL=ALL, as the guide says.)
    std::istringstream version{std::string(kProjectVersion)};
    int major = 0, minor = 0, patch = 0;
    char dot = 0;
    version >> major >> dot >> minor >> dot >> patch;
    const std::string next = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch + 1);
    const std::string upgrade = BuildMsi(next, "quillmark-upgrade.msi");
    EXPECT_NE(Property(upgrade, "ProductCode"), code);
    r = Wine({"msiexec", "/i", "Z:" + upgrade, "ADDLOCAL=ALL", "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    std::vector<std::string> withTools = expected;
    withTools.insert(withTools.begin() + 2, {"quillmark-host.exe", "quillmark-ipc.exe"});
    EXPECT_EQ(InstalledFiles(), withTools);
    const std::vector<std::string> upgraded = Apps();
    ASSERT_EQ(upgraded.size(), 1u);
    EXPECT_NE(upgraded, apps) << "the package of version " << next << " did not replace the installed one";
    EXPECT_EQ(RegValue(kAppPaths, ""), kInstallDir + "quillmark.exe");

    // The first package again, now older than the installed one: refused,
    // and the newer one stays as it was.
    r = Wine({"msiexec", "/i", "Z:" + msi_, "/qn"});
    EXPECT_NE(r.Status, 0) << "a package of a lower version was installed over " << next;
    EXPECT_EQ(Apps(), upgraded);
    EXPECT_EQ(InstalledFiles(), withTools);

    r = Wine({"msiexec", "/x", "Z:" + upgrade, "/qn"});
    ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_FALSE(fs::exists(Folder()));
    for (const std::string view : {"64", "32"}) {
        EXPECT_FALSE(KeyExists(kAppPaths, view)) << view;
        EXPECT_FALSE(KeyExists(kSettings, view)) << view;
    }
    EXPECT_THAT(Apps(), ::testing::IsEmpty());
    EXPECT_NE(Wine({"start", "/wait", "quillmark.exe", "--version"}).Status, 0);
}

}  // namespace
}  // namespace qm

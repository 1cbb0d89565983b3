// Every program answers --version with its name and the project's version,
// and the dialog does so without a window system; the Debian changelog
// names the same version.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "HostProcess.h"
#include "TestFiles.h"
#include "UVersion.h"

namespace qm {
namespace {

TEST(ProgramVersion, EveryProgramNamesItselfAndTheVersion) {
    EXPECT_TRUE(std::regex_match(std::string(kProjectVersion), std::regex(R"(\d+\.\d+\.\d+)")));
    std::vector<std::string> programs = {"tools/card/quillmark-card", "tools/host/quillmark-host",
                                         "tools/ipc/quillmark-ipc"};
#ifdef QM_HAS_DIALOG
    programs.push_back("src/app/quillmark");
#endif
    // No display: the dialog must answer before it looks for one.
    const test::TScopedEnv noX11("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr),
        xcb("QT_QPA_PLATFORM", "xcb");
    for (const std::string& program : programs) {
        test::TProcess p({std::string(QM_BINARY_DIR) + "/" + program, "--version"});
        EXPECT_EQ(p.Wait(), 0) << program << ": " << p.Err();
        const std::string name = program.substr(program.rfind('/') + 1);
        EXPECT_EQ(p.Out(), name + " " + std::string(kProjectVersion) + "\n");
    }
}

TEST(ProgramVersion, HostPassesVersionAfterLaunchToItsChild) {
    test::TProcess host({std::string(QM_BINARY_DIR) + "/tools/host/quillmark-host", "--no-exchange", "--launch",
                         std::string(QM_BINARY_DIR) + "/tools/ipc/quillmark-ipc", "--version"});
    EXPECT_EQ(host.Wait(), 0) << host.Err();
    EXPECT_EQ(host.Out(), "quillmark-ipc " + std::string(kProjectVersion) + "\n");
}

// The Debian package's changelog is written by hand; its newest entry must
// be the version being packaged.
TEST(ProgramVersion, DebianChangelogStartsWithTheVersion) {
    const std::string changelog = test::ReadBytes(QM_SOURCE_DIR "/data/debian/changelog");
    EXPECT_EQ(changelog.substr(0, changelog.find('\n')),
              "quillmark (" + std::string(kProjectVersion) + ") unstable; urgency=medium");
}

}  // namespace
}  // namespace qm

// The manual pages list exactly the options that the programs' --help
// texts list, so that neither drifts from the other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "HostProcess.h"
#include "ShipTestSupport.h"
#include "TestFiles.h"

namespace qm {
namespace {

struct TManPage {
    const char* Program;
    const char* Page;
    friend std::ostream& operator<<(std::ostream& out, const TManPage& p) { return out << p.Page; }
};

// Runs `command` and its "--help" and compares the options of its output
// with those of the manual page `page`.
void ExpectPageListsHelpOptions(std::vector<std::string> command, const std::string& page) {
    command.push_back("--help");
    test::TProcess program(command);
    ASSERT_EQ(program.Wait(), 0) << program.Err();
    const std::set<std::string> help = test::HelpOptions(program.Out());
    EXPECT_THAT(help, ::testing::Contains("--help"));
    EXPECT_THAT(help, ::testing::Contains("--version"));
    EXPECT_EQ(test::ManPageOptions(test::ReadBytes(std::string(QM_SOURCE_DIR) + "/docs/man/" + page)), help);
}

class ManPage : public ::testing::TestWithParam<TManPage> {};

TEST_P(ManPage, ListsTheOptionsOfTheHelpText) {
    ExpectPageListsHelpOptions({std::string(QM_BINARY_DIR) + "/" + GetParam().Program}, GetParam().Page);
}

INSTANTIATE_TEST_SUITE_P(Programs, ManPage,
                         ::testing::Values(TManPage{"tools/card/quillmark-card", "quillmark-card.1"},
                                           TManPage{"tools/host/quillmark-host", "quillmark-host.1"},
                                           TManPage{"tools/ipc/quillmark-ipc", "quillmark-ipc.1"}),
                         [](const auto& info) {
                             // "quillmark-card.1" -> "card"
                             const std::string page = info.param.Page;
                             return page.substr(10, page.size() - 12);
                         });

#ifdef QM_HAS_DIALOG
// The dialog answers --help before it looks for a display: none is named.
TEST(ManPage, DialogListsTheOptionsOfItsHelpTextWhichNeedsNoDisplay) {
    ExpectPageListsHelpOptions({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                                std::string(QM_BINARY_DIR) + "/src/app/quillmark"},
                               "quillmark.1");
}
#endif

TEST(ManPageReading, FindsOptionsButNotTheirValuesOrDescriptions) {
    EXPECT_EQ(test::HelpOptions("Usage: x [--a]\n"
                                "  -v, --verbose      say more (say -1)\n"
                                "  --size MM          edge length\n"
                                "  --metrics \"L,T\" left and top\n"
                                "text --not-an-option\n"),
              (std::set<std::string>{"-v", "--verbose", "--size", "--metrics"}));
    EXPECT_EQ(test::ManPageOptions(".TP\n.BR \\-v \", \" \\-\\-verbose\n.TP\n.BI \\-\\-size \" MM\"\n"
                                   ".TP\n.B SERVERPROCESS\n.B \\-\\-other\n"),
              (std::set<std::string>{"-v", "--verbose", "--size"}));
}

}  // namespace
}  // namespace qm

// The dialog program as a process: headless runs (the demo's way) and the
// end by a termination signal, with a real quillmark-host where one is needed.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "HostProcess.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

namespace {

using qm::test::ReadBytes;

const std::string kDialogBinary = QM_BINARY_DIR "/src/app/quillmark";

// The files of one extension in `folder`.
std::vector<fs::path> FilesEndingIn(const std::string& folder, const std::string& extension) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == extension) found.push_back(entry.path());
    return found;
}

// Waits until `done` holds; false after 20 s.
template <typename Condition>
bool Eventually(Condition done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class DialogProcess : public ::testing::Test {
protected:
    void TearDown() override { ::unsetenv("QUILLMARK_SNAPSHOT_DIR"); }

    // The sample record with another company, written for the host.
    std::string RecordWithCompany(const std::string& company) {
        std::string text = ReadBytes(QM_SOURCE_DIR "/samples/anna-berg.json");
        text = std::regex_replace(text, std::regex("\"Company\": \"[^\"]*\""), "\"Company\": \"" + company + "\"");
        const std::string path = Temp.Path("record.json");
        qm::test::WriteBytes(path, text);
        return path;
    }

    qm::test::TTempDirEnv Temp;
};

TEST_F(DialogProcess, AHeadlessRunThatFailsWhileSettingUpEndsWithTheMessage) {
    // A working folder that is a symbolic link is refused while the dialog
    // is set up; nobody could close a message box here.
    fs::create_directory(Temp.Path("elsewhere"));
    fs::create_directory_symlink(Temp.Path("elsewhere"), Temp.Working().substr(0, Temp.Working().size() - 1));
    ::setenv("QUILLMARK_SNAPSHOT_DIR", Temp.Path("out").c_str(), 1);
    qm::test::TProcess dialog({kDialogBinary});
    const int status = dialog.Wait(std::chrono::seconds(30));
    EXPECT_NE(status, -1) << "the dialog hung";
    EXPECT_NE(status, 0);
    EXPECT_NE(dialog.Err().find("ist ein symbolischer Link oder kein Ordner"), std::string::npos) << dialog.Err();
}

TEST_F(DialogProcess, AHeadlessRunPrintsTheCaptionAsTheWindowShowsIt) {
    ::setenv("QUILLMARK_SNAPSHOT_DIR", Temp.Path("out").c_str(), 1);
    qm::test::THost host({"--record", RecordWithCompany("A|B<C>D"), "--launch", kDialogBinary});
    ASSERT_TRUE(host.Ready()) << host.Err();
    ASSERT_EQ(host.Wait(std::chrono::seconds(60)), 0) << host.Err();
    EXPECT_NE(host.Out().find("Beschriftung: QRCode: Anna Berg A|B<C>D | Gr\xC3\xB6\xC3\x9F" "er\n"),
              std::string::npos)
        << host.Out();
}

TEST_F(DialogProcess, ATerminationSignalClosesTheDialogAndDeletesItsCardFiles) {
    const std::string record = RecordWithCompany("Muster AG");
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(::strsignal(sig));
        // The host passes its signal on to the dialog it started.
        qm::test::THost host({"--record", record, "--launch", kDialogBinary});
        ASSERT_TRUE(host.Ready()) << host.Err();
        ASSERT_TRUE(Eventually([&] {
            return FilesEndingIn(Temp.Working(), ".vcf").size() == 1 && FilesEndingIn(Temp.Working(), ".png").size() == 1;
        })) << "no card was built";
        host.Stop(sig);
        EXPECT_TRUE(Eventually([&] {
            return FilesEndingIn(Temp.Working(), ".vcf").empty() && FilesEndingIn(Temp.Working(), ".png").empty();
        })) << "the card files stayed";
    }
}

}  // namespace

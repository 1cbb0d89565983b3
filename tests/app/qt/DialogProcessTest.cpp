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
#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UPNGReader.h"
#include "VObjectReader.h"

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
    // The dialog reads the settings of a user of this test's own.
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", Temp.Path("config").c_str(), 1); }
    void TearDown() override {
        ::unsetenv("QUILLMARK_SNAPSHOT_DIR");
        ::unsetenv("XDG_CONFIG_HOME");
    }

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

// An office whose phones need vCard 3.0 has set it once: the dialog's card
// is 3.0, an independent parser reads it and the code shown holds the file.
TEST_F(DialogProcess, AUsersVCard30SettingGivesCardsOlderPhonesRead) {
    fs::create_directories(Temp.Path("config/Quillmark"));
    qm::test::WriteBytes(Temp.Path("config/Quillmark/quillmark.conf"), "[General]\nvCardVersion=3.0\n");
    ::setenv("QUILLMARK_SNAPSHOT_DIR", Temp.Path("out").c_str(), 1);
    qm::test::THost host({"--record", QM_SOURCE_DIR "/samples/anna-berg.json", "--launch", kDialogBinary});
    ASSERT_TRUE(host.Ready()) << host.Err();
    ASSERT_EQ(host.Wait(std::chrono::seconds(60)), 0) << host.Err();

    const std::string vcfPath = Temp.Path("out/Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH.vcf");
    const std::string vcf = ReadBytes(vcfPath);
    EXPECT_TRUE(vcf.starts_with("BEGIN:VCARD\nVERSION:3.0\n")) << vcf;
    const qm::TRGBImage shot = qm::ReadPNGRGB(ReadBytes(Temp.Path("out/window.png")));
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false, 16);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);
    // Reading it does not rewrite the setting.
    EXPECT_EQ(ReadBytes(Temp.Path("config/Quillmark/quillmark.conf")), "[General]\nvCardVersion=3.0\n");

    qm::test::TProcess reader({"/usr/bin/python3", "-c", qm::test::kVObjectReader, vcfPath});
    const int status = reader.Wait(std::chrono::seconds(60));
    if (status == 77) GTEST_SKIP() << "python3-vobject is not installed (scripts/common.sh installs it)";
    ASSERT_EQ(status, 0) << reader.Err();
    EXPECT_EQ(reader.Out(), qm::test::kVObjectSample30);
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

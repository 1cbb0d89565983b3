// quillmark.exe as a user would see it, from the Linux side: under Xvfb and
// Wine, quillmark-host.exe starts the Windows dialog, which places itself by
// the host's metrics, names the host's database path in its title and shows
// a QR code that decodes here (zxing-cpp) to the .vcf it wrote. Without a
// host the no-connection message is reported. Needs the Windows tree:
// $QM_WIN64_DIR (./check sets it).
#include <gtest/gtest.h>

#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UPNGReader.h"
#include "UVersion.h"
#include "VObjectReader.h"

namespace fs = std::filesystem;

namespace {

using qm::test::ReadBytes;

const std::string kVcfName = "Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH.vcf";

class DialogWin64 : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QM_WIN64_DIR");
        if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QM_WIN64_DIR is not set (./check sets it)";
        win64_ = dir;
        if (!fs::exists(win64_ + "/src/app/quillmark.exe") || !fs::exists(win64_ + "/tools/host/quillmark-host.exe"))
            GTEST_SKIP() << "the Windows programs are not built in " << win64_;
        if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
        dir_ = fs::path(QM_BINARY_DIR) / "tests/app/win32" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }

    // Runs `program` and its arguments (Windows paths, or Linux ones through
    // Wine's drive Z:) under Wine on a fresh Xvfb display with
    // %QUILLMARK_SNAPSHOT_DIR% set to out/; returns the exit status and
    // leaves standard output in out.txt, standard error in err.txt.
    int RunUnderWine(const std::string& program) {
        // A Wine prefix per test: its Wine server keeps the display of the
        // first program, so tests on different Xvfb displays must not share one.
        const std::string prefix = win64_ + "/wine-" + dir_.filename().string();
        const std::string command =
            "cd '" + win64_ + "' && env -u TMP -u TEMP -u TMPDIR QUILLMARK_SNAPSHOT_DIR='Z:" + (dir_ / "out").string() +
            "' timeout -k 10 150 xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '\"$0\" \"$@\"; s=$?; "
            "WINEPREFIX=\"$1\" wineserver -w; exit $s' '" QM_SOURCE_DIR "/cmake/wine-run.sh' '" + prefix + "' " +
            program + " >'" + (dir_ / "out.txt").string() + "' 2>'" + (dir_ / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    // As RunUnderWine, but in the Windows tree's own prefix and without a
    // display of its own: for what opens no window.
    int RunWithoutWindow(const std::string& program) {
        const std::string command =
            "cd '" + win64_ + "' && env -u TMP -u TEMP -u TMPDIR QUILLMARK_SNAPSHOT_DIR='Z:" + (dir_ / "out").string() +
            "' timeout -k 10 150 '" QM_SOURCE_DIR "/cmake/wine-run.sh' '" + win64_ + "/wine' " + program + " >'" +
            (dir_ / "out.txt").string() + "' 2>'" + (dir_ / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    std::string Out() const { return ReadBytes((dir_ / "out.txt").string()); }
    std::string Err() const { return ReadBytes((dir_ / "err.txt").string()); }

    std::string win64_;
    fs::path dir_;
};

TEST_F(DialogWin64, HostStartsTheDialogWhichShowsTheCardWhereTheHostSays) {
    ASSERT_EQ(RunUnderWine("tools/host/quillmark-host.exe --record 'Z:" QM_SOURCE_DIR
                           "/samples/anna-berg.json' --metrics 100,200,300,400 --dbpath 'D:\\Daten' "
                           "--launch src/app/quillmark.exe"),
              0)
        << Out() << Err();
    const std::string out = Out();
    EXPECT_NE(out.find("Fenstertitel: Angebot AN-2026-0815 Anna Berg, K\xC3\xB6nigsallee 12, 40212 D\xC3\xBCsseldorf "
                       "in D:\\Daten\\\r\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Beschriftung: QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH | Gr\xC3\xB6\xC3\x9F" "er\r\n"),
              std::string::npos)
        << out;
    // 50 pixels right of and below the host's corner; 454-pixel image at 96 dpi.
    EXPECT_NE(out.find("Fensterlage:  150,250; Innenfl\xC3\xA4" "che 502 x 531; 96 dpi\r\n"), std::string::npos) << out;

    const std::string vcf = ReadBytes((dir_ / "out" / kVcfName).string());
    ASSERT_FALSE(vcf.empty());
    const qm::TRGBImage shot = qm::ReadPNGRGB(ReadBytes((dir_ / "out/window.png").string()));
    ASSERT_EQ(shot.Width, 502);
    ASSERT_EQ(shot.Height, 531);
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false, 16);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);
}

// The user's value in the registry of this test's Wine prefix: the card is
// 3.0, an independent parser reads it and the code shown holds the file.
TEST_F(DialogWin64, AUsersVCard30SettingGivesCardsOlderPhonesRead) {
    ASSERT_EQ(RunUnderWine("reg add 'HKCU\\Software\\Quillmark' /v vCardVersion /t REG_SZ /d 3.0 /f"), 0)
        << Out() << Err();
    ASSERT_EQ(RunUnderWine("tools/host/quillmark-host.exe --record 'Z:" QM_SOURCE_DIR
                           "/samples/anna-berg.json' --launch src/app/quillmark.exe"),
              0)
        << Out() << Err();
    const std::string vcfPath = (dir_ / "out" / kVcfName).string();
    const std::string vcf = ReadBytes(vcfPath);
    EXPECT_TRUE(vcf.starts_with("BEGIN:VCARD\nVERSION:3.0\n")) << vcf;
    // This host gives no metrics: the window sits centred on the 1280 x 1024
    // screen at its real size (the frame, a few pixels at the sides and the
    // title bar on top, is all that may put its centre off).
    int left = 0, top = 0, width = 0, height = 0;
    const std::size_t place = Out().find("Fensterlage:  ");
    ASSERT_NE(place, std::string::npos) << Out();
    ASSERT_EQ(std::sscanf(Out().c_str() + place, "Fensterlage:  %d,%d; Innenfl\xC3\xA4" "che %d x %d", &left, &top,
                          &width, &height),
              4);
    EXPECT_NEAR(left + width / 2, 640, 10) << Out();
    EXPECT_NEAR(top + height / 2, 512, 40) << Out();
    const qm::TRGBImage shot = qm::ReadPNGRGB(ReadBytes((dir_ / "out/window.png").string()));
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false, 16);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);

    qm::test::WriteBytes((dir_ / "read.py").string(), qm::test::kVObjectReader);
    const int status = std::system(("/usr/bin/python3 '" + (dir_ / "read.py").string() + "' '" + vcfPath + "' >'" +
                                    (dir_ / "read.txt").string() + "'")
                                       .c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "python3-vobject is not installed";
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ReadBytes((dir_ / "read.txt").string()), qm::test::kVObjectSample30);
}

TEST_F(DialogWin64, WithoutAHostTheNoConnectionMessageIsReported) {
    EXPECT_EQ(RunUnderWine("src/app/quillmark.exe"), 1) << Out() << Err();
    // The message ends in ")": no "." is appended.
    EXPECT_NE(Err().find("Quillmark: Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)\r\n"), std::string::npos)
        << Err();
    EXPECT_NE(Out().find("Fenstertitel: Quillmark\r\n"), std::string::npos) << Out();
}

TEST_F(DialogWin64, VersionAndHelpAreAnsweredWithoutAWindow) {
    EXPECT_EQ(RunWithoutWindow("src/app/quillmark.exe --version"), 0) << Err();
    EXPECT_EQ(Out(), "quillmark " + std::string(qm::kProjectVersion) + "\r\n");
    EXPECT_EQ(RunWithoutWindow("src/app/quillmark.exe --help"), 0) << Err();
    EXPECT_TRUE(Out().starts_with("Aufruf: quillmark.exe\r\n")) << Out();
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

}  // namespace

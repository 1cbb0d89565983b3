// Runs as a user would see them: under a real X server (Xvfb) the host
// starts the dialog, and a screenshot of its window decodes to the card; on
// a real Wayland compositor (weston) the large code fits the output and a
// screenshot of the output decodes to the card.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UPNGReader.h"

namespace fs = std::filesystem;

namespace {

using qm::test::ReadBytes;

TEST(XvfbRoad, AScreenshotOfTheWindowDecodesToTheCard) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const fs::path dir = fs::path(QM_BINARY_DIR) / "tests/app/xvfb";
    fs::remove_all(dir);
    fs::create_directories(dir / "tmp");
    const std::string command =
        "env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY TMPDIR='" + (dir / "tmp").string() +
        "' QUILLMARK_SNAPSHOT_DIR='" + (dir / "out").string() +
        "' timeout 60 xvfb-run -a -s '-screen 0 1280x1024x24' '" QM_BINARY_DIR
        "/tools/host/quillmark-host' --record '" QM_SOURCE_DIR "/samples/anna-berg.json' --metrics 200,150 "
        "--launch '" QM_BINARY_DIR "/src/app/quillmark' >'" + (dir / "log.txt").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadBytes(dir / "log.txt");

    const std::string vcf = ReadBytes(dir / "out/Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH.vcf");
    ASSERT_FALSE(vcf.empty());
    const qm::TRGBImage shot = qm::ReadPNGRGB(ReadBytes(dir / "out/window.png"));
    EXPECT_EQ(shot.Width, 502);
    EXPECT_EQ(shot.Height, 531);
    // No border added: the window's own white margins are the quiet zone.
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);
}

TEST(WaylandRoad, TheLargeCodeFitsTheOutputAndAScreenshotOfItDecodesToTheCard) {
    if (std::system("command -v weston >/dev/null 2>&1 && command -v dbus-run-session >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "weston or dbus-run-session is not installed";
    const fs::path dir = fs::path(QM_BINARY_DIR) / "tests/app/wayland";
    // The dialog grows to the large code after first showing at its first
    // size where weston put it: it must still be whole on the output.
    const std::string command = "dbus-run-session -- /usr/bin/python3 '" QM_SOURCE_DIR
                                "/tests/app/qt/wayland/large_code_test.py' '" QM_BINARY_DIR
                                "/tools/host/quillmark-host' '" QM_BINARY_DIR "/src/app/quillmark' '" QM_SOURCE_DIR
                                "/samples/anna-berg.json' '" + dir.string() + "' >'" + dir.string() + ".log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadBytes(dir.string() + ".log");
    const qm::TRGBImage shot = qm::ReadPNGRGB(ReadBytes(dir / "output.png"));
    EXPECT_EQ(shot.Width, 1280);
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, ReadBytes(dir / "card.vcf"));
}

}  // namespace

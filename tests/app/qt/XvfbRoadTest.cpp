// One run as a user would see it: under a real X server (Xvfb) the host
// starts the dialog, and a screenshot of its window decodes to the card.
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
    EXPECT_EQ(shot.Width, 474);
    EXPECT_EQ(shot.Height, 503);
    const qm::test::TDecoded decoded = qm::test::DecodeImage(shot, false, 16);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);
}

}  // namespace

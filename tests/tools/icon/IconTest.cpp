// The program's icon: a sharp, centred QR code of the program's name at
// every theme size, and the build's icon files made from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UErrors.h"
#include "UPNGReader.h"
#include "UProgramIcon.h"
#include "UVersion.h"

namespace qm {
namespace {

// The light columns left of and right of the code on the middle row.
std::pair<int, int> SideMargins(const TRGBImage& image) {
    const int y = image.Height / 2;
    int left = 0;
    while (left < image.Width && image.Pixel(left, y) == clWhite) ++left;
    int right = 0;
    while (right < image.Width && image.Pixel(image.Width - 1 - right, y) == clWhite) ++right;
    return {left, right};
}

class ProgramIcon : public ::testing::TestWithParam<int> {};

TEST_P(ProgramIcon, ScansAsTheNameAndIsCentred) {
    const int size = GetParam();
    const TRGBImage image = ProgramIconImage(kProjectName, size);
    ASSERT_EQ(image.Width, size);
    ASSERT_EQ(image.Height, size);
    const test::TDecoded decoded = test::DecodeImage(image, true);
    ASSERT_TRUE(decoded.Valid) << size;
    EXPECT_EQ(decoded.Bytes, "Quillmark");
    EXPECT_EQ(decoded.ECLevel, "L");

    // Whole pixels per module: the dark top-left finder run on its first
    // row is exactly 7 modules long, so its length divides by 7.
    const auto [left, right] = SideMargins(image);
    int run = 0;
    while (image.Pixel(left + run, left) == clBlack) ++run;
    EXPECT_EQ(run % 7, 0) << size;
    EXPECT_GE(left, 2 * run / 7) << "a two-module light border";
    EXPECT_LE(right - left, 1) << size;
    EXPECT_GE(right - left, 0) << size;
}

INSTANTIATE_TEST_SUITE_P(ThemeSizes, ProgramIcon, ::testing::Values(25, 32, 48, 64, 128, 256, 512),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(ProgramIconSmall, TheBorderNarrowsThenTheCodeTurnsGrey) {
    EXPECT_EQ(MinimumIconSize(kProjectName), 25);
    // 24 and 22: a module per pixel, the border what is left; it scans
    // on a light surround.
    for (const int size : {24, 22}) {
        const TRGBImage image = ProgramIconImage(kProjectName, size);
        ASSERT_EQ(image.Width, size);
        EXPECT_EQ(test::DecodeImage(image, false, 8).Bytes, "Quillmark") << size;
    }
    // 16: 25 / 16 modules a pixel; the corner is border, pixel (3, 3) lies
    // inside the top-left finder's dark centre.
    const TRGBImage tiny = ProgramIconImage(kProjectName, 16);
    ASSERT_EQ(tiny.Width, 16);
    EXPECT_EQ(tiny.Pixel(0, 0), clWhite);
    EXPECT_EQ(tiny.Pixel(3, 3), clBlack);
    EXPECT_THROW(ProgramIconImage(kProjectName, 15), EQuillmarkError);
    EXPECT_THROW(ProgramIconImage(kProjectName, 4097), EQuillmarkError);
}

TEST(ProgramIconSvg, ItsRectsDrawTheIconModuleForModule) {
    // Read back: every rect a run of dark modules on the white square.
    const std::string svg = ProgramIconSvg(kProjectName);
    EXPECT_NE(svg.find("viewBox=\"0 0 25 25\" shape-rendering=\"crispEdges\""), std::string::npos);
    TRGBImage drawn(25, 25);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 25; ++x) drawn.SetPixel(x, y, clWhite);
    const std::regex rect(R"re(<rect x="(\d+)" y="(\d+)" width="(\d+)" height="1"/>)re");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rect); it != std::sregex_iterator(); ++it) {
        const int x = std::stoi((*it)[1]);
        for (int i = 0; i < std::stoi((*it)[3]); ++i) drawn.SetPixel(x + i, std::stoi((*it)[2]), clBlack);
    }
    EXPECT_EQ(drawn, ProgramIconImage(kProjectName, 25));
}

#ifdef QM_HAS_ICON_FILES
TEST(ProgramIconFiles, TheBuildWritesTheThemeSizes) {
    for (const int size : {16, 24, 32, 48, 256}) {
        const std::string s = std::to_string(size);
        const std::string path = QM_BINARY_DIR "/icons/hicolor/" + s + "x" + s + "/apps/quillmark.png";
        EXPECT_EQ(ReadPNGRGB(test::ReadBytes(path)), ProgramIconImage(kProjectName, size)) << path;
    }
    const std::string svg = QM_BINARY_DIR "/icons/hicolor/scalable/apps/quillmark.svg";
    EXPECT_EQ(test::ReadBytes(svg), ProgramIconSvg(kProjectName));
    // Well-formed XML.
    EXPECT_EQ(std::system(("xmllint --noout '" + svg + "'").c_str()), 0);
}
#endif

}  // namespace
}  // namespace qm

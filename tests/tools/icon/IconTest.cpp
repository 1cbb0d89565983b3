// The program's icon: a sharp, centred QR code of the program's name at
// every theme size, and the build's icon files made from it.
#include <gtest/gtest.h>

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

TEST(ProgramIconLimits, BelowTheSymbolWithItsBorderIsRefused) {
    EXPECT_EQ(MinimumIconSize(kProjectName), 25);
    EXPECT_THROW(ProgramIconImage(kProjectName, 24), EQuillmarkError);
    EXPECT_THROW(ProgramIconImage(kProjectName, 4097), EQuillmarkError);
}

#ifdef QM_HAS_ICON_FILES
TEST(ProgramIconFiles, TheBuildWritesTheThemeSizes) {
    for (const int size : {32, 48, 256}) {
        const std::string s = std::to_string(size);
        const std::string path = QM_BINARY_DIR "/icons/hicolor/" + s + "x" + s + "/apps/quillmark.png";
        EXPECT_EQ(ReadPNGRGB(test::ReadBytes(path)), ProgramIconImage(kProjectName, size)) << path;
    }
}
#endif

}  // namespace
}  // namespace qm

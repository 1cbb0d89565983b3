// The dialog's layout at a density and the size of the large image, without
// a window.
#include <gtest/gtest.h>

#include "UDialogLayout.h"
#include "UQRAsPNG.h"

namespace {

using qm::TDialogLayout;
using qm::TSize;

TEST(DialogLayout, EveryDesignLengthScalesWithTheDensityRoundedOnce) {
    // The normal 120 mm code at each density, and the window around it.
    struct TCase {
        int Ppi;
        int Image;
        TDialogLayout Layout;
    };
    const TCase cases[] = {
        {96, 454, {29, 6, 12, {10, 34}, {474, 503}}},
        // 29 x 1.25 = 36.25, 6 x 1.25 = 7.5, 10 x 1.25 = 12.5, 5 x 1.25 = 6.25, 20 x 1.25 = 25.
        {120, 567, {36, 8, 15, {13, 42}, {592, 628}}},
        {144, 680, {44, 9, 18, {15, 52}, {710, 754}}},
        {192, 907, {58, 12, 24, {20, 68}, {947, 1005}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ppi);
        EXPECT_EQ(qm::QRPixelSize(qm::kSmallImageMM, c.Ppi), c.Image);
        EXPECT_EQ(qm::LayoutAroundImage(c.Ppi, {c.Image, c.Image}), c.Layout);
        const TDialogLayout initial = qm::InitialLayout(c.Ppi);
        EXPECT_EQ(initial.LabelHeight, c.Layout.LabelHeight);
        EXPECT_EQ(initial.ImagePos, c.Layout.ImagePos);
    }
    EXPECT_EQ(qm::InitialLayout(96).ClientSize, (TSize{244, 205}));
    EXPECT_EQ(qm::InitialLayout(144).ClientSize, (TSize{366, 308}));
}

TEST(DialogLayout, TheLargeImageIsTheLargestWhoseWindowFitsTheWorkArea) {
    struct TCase {
        TSize WorkArea;
        TSize Frame;
        int ImagePpi;
        int LayoutPpi;
        int SizeMM;
    };
    const TCase cases[] = {
        // 29 + 756 + 20 + 39 = 844 rows: the whole 200 mm.
        {{1920, 1080}, {16, 39}, 96, 96, 200},
        // 44 + 952 + 30 + 53 = 1079 rows at 168 mm; 169 mm are 958 pixels.
        {{1920, 1080}, {20, 53}, 144, 144, 168},
        // 29 + 680 + 20 + 39 = 768 rows at 180 mm, exactly the work area.
        {{1366, 768}, {16, 39}, 96, 96, 180},
        // Qt's layout pixels at twice the pixel ratio: the image counts half,
        // rounded up from 1361 / 2 at 180 mm, so one row too many.
        {{1366, 768}, {16, 39}, 192, 96, 179},
        // Too small for anything larger: never below the normal size.
        {{800, 600}, {20, 53}, 144, 144, 120},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.WorkArea.Width << "x" << c.WorkArea.Height << "@" << c.ImagePpi);
        EXPECT_EQ(qm::LargeImageMM(c.WorkArea, c.Frame, c.ImagePpi, c.LayoutPpi), c.SizeMM);
    }
}

}  // namespace

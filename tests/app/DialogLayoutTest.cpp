// The dialog's layout at a density and the size of the large image, without
// a window.
#include <gtest/gtest.h>

#include "UDialogLayout.h"
#include "UQRAsPNG.h"

namespace {

using qm::TDialogLayout;
using qm::TSize;

TEST(DialogLayout, EveryDesignLengthScalesWithTheDensityRoundedOnce) {
    // The normal 120 mm code at each density, and the window around it; no
    // margin is narrower than the design's (1000 modules need none wider).
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
        EXPECT_EQ(qm::LayoutAroundImage(c.Ppi, {c.Image, c.Image}, 1000), c.Layout);
        const TDialogLayout initial = qm::InitialLayout(c.Ppi);
        EXPECT_EQ(initial.LabelHeight, c.Layout.LabelHeight);
        EXPECT_EQ(initial.ImagePos, c.Layout.ImagePos);
    }
    EXPECT_EQ(qm::InitialLayout(96).ClientSize, (TSize{244, 205}));
    EXPECT_EQ(qm::InitialLayout(144).ClientSize, (TSize{366, 308}));
}

TEST(DialogLayout, TheCodeHasFourModulesOfQuietZoneOnEverySideAndNeverLessThanTheDesign) {
    // Version 15 (77 modules) at 120 mm and 96 dpi: modules of 5 and 6
    // pixels, so 4 x 6 = 24 on every side.
    EXPECT_EQ(qm::LayoutAroundImage(96, {454, 454}, 77), (TDialogLayout{29, 6, 12, {24, 53}, {502, 531}}));
    // Versions 1, 15 and 40, both sizes, every density step: every margin
    // holds four of the widest modules and the design's length.
    for (const int modules : {21, 77, 177}) {
        for (const int ppi : {96, 120, 144, 192, 288}) {
            for (const int mm : {qm::kSmallImageMM, qm::kLargeImageMM}) {
                SCOPED_TRACE(testing::Message() << modules << " modules, " << mm << " mm, " << ppi << " dpi");
                const int edge = qm::QRPixelSize(mm, ppi);
                const int widest = (edge + modules - 1) / modules;
                const TDialogLayout l = qm::LayoutAroundImage(ppi, {edge, edge}, modules);
                const int below = l.ImagePos.Y - l.LabelHeight;
                const int right = l.ClientSize.Width - l.ImagePos.X - edge;
                const int bottom = l.ClientSize.Height - l.ImagePos.Y - edge;
                for (const int margin : {l.ImagePos.X, below, right, bottom}) EXPECT_GE(margin, 4 * widest);
                // The design: 10 left, 5 below the label, 20 more in all.
                const auto scaled = [ppi](int length) { return qm::ScaleToDensity(length, ppi); };
                EXPECT_GE(l.ImagePos.X, scaled(10));
                EXPECT_GE(below, scaled(5));
                EXPECT_GE(right, scaled(20) - scaled(10));
                EXPECT_GE(bottom, scaled(20) - scaled(5));
            }
        }
    }
}

TEST(DialogLayout, TheLargeImageIsTheLargestWhoseWindowFitsTheWorkArea) {
    struct TCase {
        TSize WorkArea;
        TSize Frame;
        int ImagePpi;
        int LayoutPpi;
        int SizeMM;
    };
    // A code of 77 modules (version 15): four modules of quiet zone around it.
    const TCase cases[] = {
        // 29 + 40 + 756 + 40 + 39 = 904 rows: the whole 200 mm.
        {{1920, 1080}, {16, 39}, 96, 96, 200},
        // 44 + 48 + 884 + 48 + 53 = 1077 rows at 156 mm; 157 mm are 890 pixels.
        {{1920, 1080}, {20, 53}, 144, 144, 156},
        // 29 + 36 + 627 + 36 + 39 = 767 rows at 166 mm; 167 mm are 631 pixels.
        {{1366, 768}, {16, 39}, 96, 96, 166},
        // Qt's layout pixels at twice the pixel ratio: the image counts half,
        // rounded up from 1255 / 2 at 166 mm, so exactly the work area.
        {{1366, 768}, {16, 39}, 192, 96, 166},
        // Too small for anything larger: never below the normal size.
        {{800, 600}, {20, 53}, 144, 144, 120},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.WorkArea.Width << "x" << c.WorkArea.Height << "@" << c.ImagePpi);
        EXPECT_EQ(qm::LargeImageMM(c.WorkArea, c.Frame, c.ImagePpi, c.LayoutPpi, 77), c.SizeMM);
    }
}

}  // namespace

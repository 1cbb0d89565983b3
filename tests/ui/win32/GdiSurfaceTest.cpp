// The GDI drawing surface under the shared text engine, in memory DCs: the
// dialog's caption and a rich sample laid out and drawn, their layout set
// against the fixed recording surface where the two must agree (runs, line
// breaks, link hit areas), and the drawing primitives read back pixel by
// pixel where GDI's result is exact.
#include <gtest/gtest.h>

#include "UFixedSurface.h"
#include "UHTMLText.h"
#include "WinTestSupport.h"

namespace qm {
namespace {

using test::FindText;
using test::kGroesser;
using test::TDibCanvas;
using test::TDrawnText;
using test::TNotingSurface;

TFontSpec DialogFont() {
    TFontSpec font;
    font.Name = "Tahoma";
    font.Size = 9;
    font.Bold = true;
    font.Color = clBlack;
    return font;
}

bool IsBlue(COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100; }
bool IsInk(COLORREF c) { return c != RGB(255, 255, 255); }

TEST(GdiSurface, DialogCaptionIsOneRunOfTextWithItsLinkWhereItIsDrawn) {
    TDibCanvas canvas(244, 29);
    std::vector<TDrawnText> drawn;
    TNotingSurface surface(canvas.DC(), {}, drawn);
    const TRect area{6, 6, 238, 23};
    DrawHTMLText(surface, DialogFont(), area, test::CaptionText(), false, true, std::nullopt, THTMLStyle{});

    // The runs as the engine cuts them, all on the one line.
    std::vector<std::string> runs;
    for (const auto& d : drawn) runs.push_back(d.Text);
    EXPECT_EQ(runs, (std::vector<std::string>{"QRCode:", " ", "Anna ", "Berg ", "| ", kGroesser}));
    for (const auto& d : drawn) EXPECT_EQ(d.At.Y, 6) << d.Text;
    EXPECT_EQ(drawn.front().At.X, 6);
    // Each run starts where the surface measured the one before to end.
    for (std::size_t i = 1; i < drawn.size(); ++i)
        EXPECT_EQ(drawn[i].At.X, drawn[i - 1].At.X + surface.MeasureText(drawn[i - 1].Font, drawn[i - 1].Text).Width)
            << drawn[i].Text;

    const TDrawnText* code = FindText(drawn, "QRCode:");
    const TDrawnText* link = FindText(drawn, kGroesser);
    ASSERT_TRUE(code && link);
    EXPECT_FALSE(code->Font.Bold);
    EXPECT_TRUE(FindText(drawn, "Anna ")->Font.Bold);
    EXPECT_TRUE(link->Font.Bold && link->Font.Underline);
    EXPECT_EQ(link->Color, clBlue);

    // The link's hit area is the box the surface measured for it, within
    // the line's text band.
    const TSize box = surface.MeasureText(link->Font, kGroesser);
    const int bottom = link->At.Y + box.Height;
    auto hit = [&](int x, int y) {
        return HitTestHTMLText(surface, DialogFont(), area, test::CaptionText(), {x, y}, true, THTMLStyle{});
    };
    const TAnchorHit centre = hit(link->At.X + box.Width / 2, bottom - 2);
    EXPECT_EQ(centre.Target, "x");
    EXPECT_EQ(centre.Index, 1);
    EXPECT_EQ(hit(link->At.X, bottom - 1).Index, 1);
    EXPECT_EQ(hit(link->At.X - 1, bottom - 1).Index, 0);
    EXPECT_EQ(hit(link->At.X + box.Width, bottom - 1).Index, 0);
    EXPECT_EQ(hit(link->At.X + box.Width / 2, bottom).Index, 0);

    // Blue ink (letters and underline) only inside the link's box, and a
    // full underline row in it.
    int blueInside = 0, blueOutside = 0;
    bool underline = false;
    for (int y = 0; y < canvas.Height(); ++y) {
        int row = 0;
        for (int x = 0; x < canvas.Width(); ++x) {
            if (!IsBlue(canvas.Pixel(x, y))) continue;
            const bool inside = x >= link->At.X && x < link->At.X + box.Width && y >= link->At.Y && y < bottom;
            (inside ? blueInside : blueOutside)++;
            ++row;
        }
        underline = underline || row >= box.Width * 3 / 4;
    }
    EXPECT_GT(blueInside, 20);
    EXPECT_EQ(blueOutside, 0);
    EXPECT_TRUE(underline);
}

// Where each line starts in the drawing order: texts of one line are drawn
// left to right, so a text left of the one before starts a new line.
// Shadow copies (drawn before their text, offset) are left out.
std::vector<std::pair<std::string, bool>> LineStarts(const std::vector<std::pair<std::string, int>>& texts) {
    std::vector<std::pair<std::string, bool>> out;
    int lastX = -1;
    for (const auto& [text, x] : texts) {
        out.emplace_back(text, x < lastX);
        lastX = x;
    }
    return out;
}

TEST(GdiSurface, RichSampleHasTheRunsAndLineBreaksOfTheFixedSurface) {
    const char* text =
        "<BODY BGCOLOR=\"clWhite\"><P ALIGN=\"CENTER\"><B>Title</B> &amp; <I>more</I></P>"
        "<P INDENT=\"8\" BGCOLOR=\"#E0E0FF\" BGCOLORTO=\"clWhite\">Indented <FONT COLOR=\"clRed\" SIZE=\"4\">red</FONT>"
        " <IMG SRC=\"IDX:1\" ALIGN=\"MIDDLE\"> tail</P>"
        "<UL><LI>one<LI><A href=\"mailto:a@b.c\">two</A></LI><UL><LI><SUP>up</SUP><SUB>down</SUB></LI></UL></UL>"
        "<SHAD>sh</SHAD> <E>err</E> <HI>hi</HI><HR>&copy; 2024";
    const TRect rect{4, 4, 204, 400};
    TFontSpec font;
    font.Name = "Tahoma";
    font.Size = 9;

    TFixedSurface fixed;
    fixed.Pictures.push_back({TImageRef{TImageKind::ikList, 1, {}}, TImageInfo{{16, 16}, 1}});
    DrawHTMLText(fixed, font, rect, text, false, true, std::nullopt, THTMLStyle{});

    TImageList images(16, 16);
    images.Add(TRGBImage(16, 16));
    images.Add(TRGBImage(16, 16));
    TDibCanvas canvas(220, 420);
    std::vector<TDrawnText> drawn;
    TNotingSurface gdi(canvas.DC(), {&images, nullptr, nullptr}, drawn);
    DrawHTMLText(gdi, font, rect, text, false, true, std::nullopt, THTMLStyle{});

    auto visible = [](auto const& list) {
        std::vector<std::pair<std::string, int>> out;
        for (const auto& t : list)
            if (t.Color != clGray) out.emplace_back(t.Text, t.At.X);
        return out;
    };
    EXPECT_EQ(LineStarts(visible(drawn)), LineStarts(visible(fixed.Texts)));
    ASSERT_EQ(drawn.size(), fixed.Texts.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].Font, fixed.Texts[i].Font) << i;
        EXPECT_EQ(drawn[i].Color, fixed.Texts[i].Color) << i;
    }
    // The list link is hit where the GDI surface drew it.
    const TDrawnText* two = FindText(drawn, "two");
    ASSERT_NE(two, nullptr);
    const TSize box = gdi.MeasureText(two->Font, "two");
    const TAnchorHit hit = HitTestHTMLText(gdi, font, rect, text, {two->At.X + box.Width / 2, two->At.Y + box.Height - 2},
                                           true, THTMLStyle{});
    EXPECT_EQ(hit.Target, "mailto:a@b.c");
    // The picture from the image list is there, at the list's size.
    EXPECT_TRUE(gdi.ImageInfo(TImageRef{TImageKind::ikList, 1, {}}).has_value());
    EXPECT_FALSE(gdi.ImageInfo(TImageRef{TImageKind::ikList, 2, {}}).has_value());
}

TEST(GdiSurface, MeasuresWithTheFontItDrawsWith) {
    TGdiSurface measuring(nullptr, {});
    TFontSpec regular;
    regular.Name = "Tahoma";
    regular.Size = 9;
    TFontSpec bold = regular;
    bold.Bold = true;
    TFontSpec large = regular;
    large.Size = 24;
    const TSize empty = measuring.MeasureText(regular, "");
    EXPECT_EQ(empty.Width, 0);
    EXPECT_GT(empty.Height, 0);
    EXPECT_EQ(measuring.MeasureText(regular, "gh").Height, empty.Height);
    EXPECT_GT(measuring.MeasureText(large, "gh").Height, empty.Height * 2);
    EXPECT_GT(measuring.MeasureText(bold, "WWWW").Width, measuring.MeasureText(regular, "WWWW").Width);
    EXPECT_GT(measuring.MeasureText(regular, "a\tb").Width, measuring.MeasureText(regular, "a    b").Width);
    EXPECT_EQ(measuring.PixelsPerInch(), GetDeviceCaps(TWindowDC(nullptr).Get(), LOGPIXELSX));

    // The ink of a run lies in the box it was measured to take.
    TDibCanvas canvas(200, 60);
    TGdiSurface drawing(canvas.DC(), {});
    const TSize box = drawing.MeasureText(large, "Wg");
    drawing.DrawText(large, {10, 10}, "Wg", clBlack, {});
    int inkInside = 0, inkOutside = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (IsInk(canvas.Pixel(x, y)))
                (x >= 10 && x < 10 + box.Width + 1 && y >= 10 && y < 10 + box.Height ? inkInside : inkOutside)++;
    EXPECT_GT(inkInside, 30);
    EXPECT_EQ(inkOutside, 0);
}

TEST(GdiSurface, RotatedTextRunsUpwardsFromItsPoint) {
    TDibCanvas canvas(100, 200);
    TGdiSurface surface(canvas.DC(), {});
    TFontSpec font;
    font.Name = "Tahoma";
    font.Size = 14;
    font.Orientation = 90;
    surface.DrawText(font, {30, 180}, "WWWWWW", clBlack, {});
    int above = 0, below = 0, right = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            if (!IsInk(canvas.Pixel(x, y))) continue;
            (y < 180 ? above : below)++;
            if (x > 30 + 40) ++right;
        }
    EXPECT_GT(above, 50);
    EXPECT_EQ(below, 0);
    EXPECT_EQ(right, 0);  // the cell's height runs to the right of the point
}

TEST(GdiSurface, PrefixMarkUnderlinesOnlyItsCharacter) {
    TDibCanvas canvas(120, 40);
    TGdiSurface surface(canvas.DC(), {});
    TFontSpec font;
    font.Name = "Tahoma";
    font.Size = 12;
    const TPrefixText prefix = ResolvePrefixMarks("AA &BB");
    surface.DrawText(font, {0, 0}, prefix.Text, clRed, prefix.Underlined);
    const int start = surface.MeasureText(font, "AA ").Width;
    const int end = surface.MeasureText(font, "AA B").Width;
    // The underline row: red all along the marked character, nowhere else.
    int row = -1;
    for (int y = 0; y < canvas.Height() && row < 0; ++y) {
        bool full = true;
        for (int x = start; x < end - 1; ++x) full = full && canvas.Pixel(x, y) == RGB(255, 0, 0);
        if (full) row = y;
    }
    ASSERT_GE(row, 0);
    // It runs below the letters, and not under the unmarked ones.
    int lowestInk = -1;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < start - 1; ++x)
            if (IsInk(canvas.Pixel(x, y))) lowestInk = y;
    EXPECT_GT(row, lowestInk);
    for (int x = 0; x < start - 1; ++x) EXPECT_FALSE(IsInk(canvas.Pixel(x, row))) << x;
}

TEST(GdiSurface, FillsGradientsLinesAndClipping) {
    TDibCanvas canvas(128, 40);
    TGdiSurface surface(canvas.DC(), {});
    surface.FillGradient({0, 0, 128, 10}, clBlack, clWhite, 64);
    const auto bands = GradientBands({0, 0, 128, 10}, clBlack, clWhite, 64);
    for (const auto& [band, color] : bands) EXPECT_EQ(canvas.Pixel(band.Left, 5), color) << band.Left;

    surface.FillRect({0, 10, 10, 20}, SystemColor(COLOR_BTNFACE));
    EXPECT_EQ(canvas.Pixel(5, 15), GetSysColor(COLOR_BTNFACE));

    surface.DrawLine({20, 30}, {30, 30}, clRed, 1);
    EXPECT_EQ(canvas.Pixel(20, 30), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(30, 30), RGB(255, 0, 0));  // both end points
    EXPECT_NE(canvas.Pixel(31, 30), RGB(255, 0, 0));

    surface.SetClip({50, 10, 60, 20});
    surface.FillRect({40, 10, 70, 20}, clBlue);
    EXPECT_EQ(canvas.Pixel(55, 15), RGB(0, 0, 255));
    EXPECT_NE(canvas.Pixel(45, 15), RGB(0, 0, 255));
    surface.ResetClip();
    surface.FillRect({40, 10, 70, 20}, clBlue);
    EXPECT_EQ(canvas.Pixel(45, 15), RGB(0, 0, 255));
}

TEST(GdiSurface, ImagesStretchByNearestNeighbourInTheirOwnColours) {
    TRGBImage image(3, 2);
    image.SetPixel(0, 0, clRed);
    image.SetPixel(1, 0, clLime);
    image.SetPixel(2, 0, clBlue);
    image.SetPixel(0, 1, RGB(1, 2, 3));
    image.SetPixel(1, 1, clWhite);
    TDibCanvas canvas(40, 20);
    DrawRGBImage(canvas.DC(), image, TRect{0, 0, 30, 20});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(canvas.Pixel(x, y), image.Pixel(x / 10, y / 10)) << x << "," << y;
    DrawRGBImage(canvas.DC(), image, TPoint{35, 0});
    EXPECT_EQ(canvas.Pixel(37, 0), clBlue);
    EXPECT_EQ(canvas.Pixel(38, 0), RGB(255, 255, 255));
}

TEST(GdiSurface, PicturesFromTheStoreAndFromLocalAddresses) {
    EXPECT_EQ(LocalPathOfAddress("file:///C:/Bilder/a%20b.png"), "C:\\Bilder\\a b.png");
    EXPECT_EQ(LocalPathOfAddress("FILE://server/share/x.png"), "\\\\server\\share\\x.png");
    EXPECT_FALSE(LocalPathOfAddress("https://example.org/a.png"));

    TPictureStore store;
    store.Add("Logo", TPicture{TRGBImage(4, 3), 1});
    TPictureCache cache;
    TGdiSurface surface(nullptr, {nullptr, &store, &cache});
    EXPECT_EQ(surface.ImageInfo({TImageKind::ikStore, 0, "logo"})->Size, (TSize{4, 3}));
    EXPECT_FALSE(surface.ImageInfo({TImageKind::ikStore, 0, "other"}));
    const std::string address = "file:///C:/pic.png";
    EXPECT_FALSE(surface.ImageInfo({TImageKind::ikAddress, 0, address}));
    EXPECT_EQ(surface.MissingAddresses(), (std::set<std::string>{address}));
    cache.Store(address, TPicture{TRGBImage(2, 5), 1});
    EXPECT_EQ(surface.ImageInfo({TImageKind::ikAddress, 0, address})->Size, (TSize{2, 5}));
}

}  // namespace
}  // namespace qm

// Layout, drawing and hit-testing of the caption text engine on the
// fixed-metric surface: 9 pt characters are 7 pixels wide (8 bold), lines
// 14 pixels high.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "UContrast.h"
#include "UFixedSurface.h"
#include "UHTMLText.h"

namespace qm {
namespace {

constexpr TRect kWide{0, 0, 1000, 1000};

TFontSpec Base(bool bold = false) {
    TFontSpec f;
    f.Name = "Tahoma";
    f.Size = 9;
    f.Bold = bold;
    f.Color = clBlack;
    return f;
}

struct Engine {
    TFixedSurface S;
    THTMLStyle Style;
    TFontSpec Font = Base();
    bool Wrap = true;

    TTextExtent Draw(std::string_view text, TRect rect = kWide, std::optional<TPoint> mouse = {}) {
        return DrawHTMLText(S, Font, rect, text, false, Wrap, mouse, Style);
    }
    TTextExtent Measure(std::string_view text, TRect rect = kWide) {
        return DrawHTMLText(S, Font, rect, text, true, Wrap, std::nullopt, Style);
    }
    TAnchorHit Hit(std::string_view text, TPoint p, TRect rect = kWide) {
        return HitTestHTMLText(S, Font, rect, text, p, Wrap, Style);
    }
    // The anchors' pieces as "index target text @left,top,right,bottom".
    std::vector<std::string> Anchors(std::string_view text, TRect rect = kWide) {
        std::vector<std::string> r;
        for (const TAnchorHit& a : AnchorsOfHTMLText(S, Font, rect, text, Wrap, Style))
            r.push_back(std::to_string(a.Index) + " " + a.Target + " " + a.Text + " @" + std::to_string(a.Rect.Left) +
                        "," + std::to_string(a.Rect.Top) + "," + std::to_string(a.Rect.Right) + "," +
                        std::to_string(a.Rect.Bottom));
        return r;
    }
    // The text calls as "x,y:text".
    std::vector<std::string> Placed() const {
        std::vector<std::string> r;
        for (const auto& t : S.Texts) r.push_back(std::to_string(t.At.X) + "," + std::to_string(t.At.Y) + ":" + t.Text);
        return r;
    }
    const TFixedSurface::TTextCall& Text(std::string_view text) const {
        for (const auto& t : S.Texts)
            if (t.Text == text) return t;
        throw std::runtime_error("not drawn: " + std::string(text));
    }
};

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------- preparation

TEST(HTMLPrepare, ReplacesEntitiesUntilNoneIsLeft) {
    EXPECT_EQ(PrepareHTMLText("A &amp; B"), "A && B");
    EXPECT_EQ(PrepareHTMLText("&AMP;amp;"), "&&&");
    EXPECT_EQ(PrepareHTMLText("&amp;quot;"), "&\"");
    EXPECT_EQ(PrepareHTMLText("&permil;"), "\xE2\x80\xB0");
    EXPECT_EQ(PrepareHTMLText("&Quot;&sect;&reg;&copy;&para;&trade;&euro;"),
              "\"\xC2\xA7\xC2\xAE\xC2\xA9\xC2\xB6\xE2\x84\xA2\xE2\x82\xAC");
    EXPECT_EQ(PrepareHTMLText("&unknown; & &"), "&unknown; & &");
}

TEST(HTMLPrepare, HashTagAndLineBreaks) {
    EXPECT_EQ(PrepareHTMLText("x<#abc>def>"), "x#abcdef>");
    EXPECT_EQ(PrepareHTMLText("<#>a<#b>"), "#a<#b>");
    EXPECT_EQ(PrepareHTMLText("a\r\nb\nc\rd"), "a<BR>bc<BR>d");
}

TEST(HTMLPrepare, PrefixMarks) {
    TPrefixText t = ResolvePrefixMarks("A && B");
    EXPECT_EQ(t.Text, "A & B");
    EXPECT_TRUE(t.Underlined.empty());
    t = ResolvePrefixMarks("A & B");
    EXPECT_EQ(t.Text, "A  B");
    ASSERT_EQ(t.Underlined.size(), 1u);
    EXPECT_EQ(t.Underlined[0], (std::pair<std::size_t, std::size_t>{2, 3}));
    t = ResolvePrefixMarks("&\xC3\xBC&");
    EXPECT_EQ(t.Text, "\xC3\xBC");
    EXPECT_EQ(t.Underlined[0], (std::pair<std::size_t, std::size_t>{0, 2}));
}

TEST(HTMLPrepare, Colours) {
    EXPECT_EQ(HTMLColorFromText("#ff0000"), clRed);
    EXPECT_EQ(HTMLColorFromText("#00FF00"), clLime);
    EXPECT_EQ(HTMLColorFromText("#123456"), ColorRGB(0x12, 0x34, 0x56));
    EXPECT_EQ(HTMLColorFromText("clRed"), clRed);
    EXPECT_EQ(HTMLColorFromText("CLGREEN"), clGreen);
    EXPECT_EQ(HTMLColorFromText("clSilver"), clSilver);
    EXPECT_EQ(HTMLColorFromText("clBtnFace"), SystemColor(15));
    EXPECT_EQ(HTMLColorFromText("clInfoBk"), SystemColor(24));
    EXPECT_EQ(HTMLColorFromText("cl3DDkShadow"), SystemColor(21));
    EXPECT_EQ(HTMLColorFromText("clNone"), clBlack);
    EXPECT_EQ(HTMLColorFromText("#12345"), clBlack);
    EXPECT_EQ(HTMLColorFromText("#12345G"), clBlack);
    EXPECT_EQ(HTMLColorFromText(""), clBlack);
}

TEST(HTMLPrepare, StripTagsForHints) {
    EXPECT_EQ(StripHTMLTags("a<BR>b<hr>c<b>d</b><A href=\"x\">e</A>"), "a\nb\ncde");
    EXPECT_EQ(StripHTMLTags("a<b"), "a");
}

TEST(HTMLPrepare, ImageSources) {
    EXPECT_EQ(ImageRefFromSource("IDX:3"), (TImageRef{TImageKind::ikList, 3, {}}));
    EXPECT_EQ(ImageRefFromSource("idx:x"), (TImageRef{TImageKind::ikList, 0, {}}));
    EXPECT_EQ(ImageRefFromSource("SSYS:a.pdf"), (TImageRef{TImageKind::ikSmallFileIcon, 0, "a.pdf"}));
    EXPECT_EQ(ImageRefFromSource("LSYS:.vcf"), (TImageRef{TImageKind::ikLargeFileIcon, 0, ".vcf"}));
    EXPECT_EQ(ImageRefFromSource("file:///tmp/a.png"), (TImageRef{TImageKind::ikAddress, 0, "file:///tmp/a.png"}));
    EXPECT_EQ(ImageRefFromSource("logo"), (TImageRef{TImageKind::ikStore, 0, "logo"}));
    EXPECT_FALSE(ImageRefFromSource("C:\\a.png"));
    EXPECT_FALSE(ImageRefFromSource(""));
}

TEST(HTMLPrepare, GradientBandsCoverTheRectangle) {
    auto bands = GradientBands({0, 0, 128, 10}, clBlack, clWhite, kGradientSteps);
    ASSERT_EQ(bands.size(), 64u);
    EXPECT_EQ(bands.front().first, (TRect{0, 0, 2, 10}));
    EXPECT_EQ(bands.front().second, clBlack);
    EXPECT_EQ(bands.back().first, (TRect{126, 0, 128, 10}));
    EXPECT_EQ(bands.back().second, clWhite);
    EXPECT_EQ(bands[32].second, ColorRGB(129, 129, 129));
    EXPECT_EQ(GradientBands({0, 0, 10, 10}, clRed, clBlue, 64).size(), 10u);  // empty bands dropped
    EXPECT_TRUE(GradientBands({0, 0, 0, 10}, clRed, clBlue, 64).empty());
}

TEST(HTMLPrepare, FitWithEllipsis) {
    TFixedSurface s;
    std::string out;
    EXPECT_EQ(FitWithEllipsis(s, Base(), "abcdefghij", 70, out), 10u);
    EXPECT_EQ(out, "abcdefghij");
    EXPECT_EQ(FitWithEllipsis(s, Base(), "abcdefghij", 50, out), 6u);
    EXPECT_EQ(out, "abcdef\xE2\x80\xA6");
    EXPECT_EQ(FitWithEllipsis(s, Base(), "abc", 6, out), 0u);
    EXPECT_EQ(out, "");
}

// ---------------------------------------------------------------- layout

TEST(HTMLLayout, RunsEndAfterSpacesAndTrailingSpaceIsNotCounted) {
    Engine e;
    EXPECT_EQ(e.Draw("Hello world "), (TTextExtent{77, 14}));
    EXPECT_EQ(e.Placed(), (Strings{"0,0:Hello ", "42,0:world "}));
}

TEST(HTMLLayout, WordWrap) {
    Engine e;
    TTextExtent ext = e.Draw("Hello world foo", {0, 0, 60, 100});
    EXPECT_EQ(e.Placed(), (Strings{"0,0:Hello ", "0,14:world ", "0,28:foo"}));
    EXPECT_EQ(ext, (TTextExtent{35, 42}));
}

TEST(HTMLLayout, RunsContinuingAWordAndOverlongRunsStay) {
    Engine e;
    e.Draw("ab<b>cd</b>", {0, 0, 20, 100});
    EXPECT_EQ(e.Placed(), (Strings{"0,0:ab", "14,0:cd"}));
    e.S.Clear();
    e.Draw("x abcdefghij y", {0, 0, 30, 100});
    EXPECT_EQ(e.Placed(), (Strings{"0,0:x ", "14,0:abcdefghij ", "0,14:y"}));  // wider than any line: stays
}

TEST(HTMLLayout, RunAfterIndentThatCannotFitStillProgresses) {
    Engine e;
    TTextExtent ext = e.Draw("<P INDENT=\"40\">abcdefg hij", {0, 0, 60, 100});
    EXPECT_EQ(e.Placed(), (Strings{"40,0:abcdefg ", "40,14:hij"}));
    EXPECT_EQ(ext.Height, 28);
}

TEST(HTMLLayout, EllipsisWithoutWordWrap) {
    Engine e;
    e.Wrap = false;
    TTextExtent ext = e.Draw("abcdefghij<BR>abc<BR>klm nop qrs", {0, 0, 50, 100});
    EXPECT_EQ(e.Placed(), (Strings{"0,0:abcdef\xE2\x80\xA6", "0,14:abc", "0,28:klm no\xE2\x80\xA6"}));
    EXPECT_EQ(ext, (TTextExtent{77, 42}));  // widths are those of the uncut lines
}

TEST(HTMLLayout, EllipsisCutsTheRunThatCrossesTheEdgeAndDropsLaterOnes) {
    Engine e;
    e.Wrap = false;
    e.Draw("abcd<b>efgh</b>ijkl", {0, 0, 50, 100});
    EXPECT_EQ(e.Placed(), (Strings{"0,0:abcd", "28,0:e\xE2\x80\xA6"}));
}

TEST(HTMLLayout, Alignment) {
    Engine e;
    e.Draw("<P ALIGN=\"RIGHT\">abc <BR>de<P ALIGN=\"center\">fg<BR>h<P ALIGN=\"LEFT\">", {0, 0, 100, 100});
    EXPECT_EQ(e.Placed(), (Strings{"79,0:abc ", "36,14:de", "50,14:fg", "0,28:h"}));
}

TEST(HTMLLayout, IndentMovesThisAndFollowingLines) {
    Engine e;
    e.Draw("<P INDENT=\"20\">abc<BR>def<IND x=\"50\">g<IND x=\"10\">h");
    EXPECT_EQ(e.Placed(), (Strings{"20,0:abc", "20,14:def", "50,14:g", "57,14:h"}));
}

TEST(HTMLLayout, ListsIndentAndBullets) {
    Engine e;
    TTextExtent ext = e.Draw("<UL><LI>a</LI><UL><LI>b</LI></UL></UL>c");
    EXPECT_EQ(e.Placed(), (Strings{"0,14:\xE2\x80\xA2", "12,14:a", "12,42:o", "24,42:b", "0,56:c"}));
    EXPECT_EQ(e.Text("o").Font.Name, "Symbol");
    EXPECT_EQ(ext.Height, 70);
}

TEST(HTMLLayout, SecondListItemOnALineStartsANewLine) {
    Engine e;
    e.Draw("<UL><LI>a<LI>b");
    EXPECT_EQ(e.Placed(), (Strings{"0,14:\xE2\x80\xA2", "12,14:a", "0,28:\xE2\x80\xA2", "12,28:b"}));
}

TEST(HTMLLayout, EmptyLinesHaveTheHeightOfGh) {
    Engine e;
    EXPECT_EQ(e.Draw("<BR><BR>x"), (TTextExtent{7, 42}));
    EXPECT_EQ(e.Placed(), (Strings{"0,28:x"}));
    e.S.Clear();
    EXPECT_EQ(e.Draw("<FONT SIZE=\"20\"><BR></FONT>x").Height, 25 + 14);
    EXPECT_EQ(e.Draw("").Height, 0);
}

TEST(HTMLLayout, SubscriptAndSuperscriptAddAQuarter) {
    Engine e;
    EXPECT_EQ(e.Draw("a<SUB>b</SUB>c").Height, 17);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:a", "7,3:b", "14,0:c"}));
    e.S.Clear();
    EXPECT_EQ(e.Draw("a<SUP>b</SUB>c").Height, 17);
    EXPECT_EQ(e.Placed(), (Strings{"0,3:a", "7,0:b", "14,3:c"}));
}

TEST(HTMLLayout, LinesOfOnlySubscriptOrSuperscriptAreTallerAlike) {
    Engine e;
    EXPECT_EQ(e.Draw("<SUB>b</SUB>").Height, 17);
    EXPECT_EQ(e.Placed(), (Strings{"0,3:b"}));  // lowered by the quarter
    e.S.Clear();
    EXPECT_EQ(e.Draw("<SUP>b</SUP>").Height, 17);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:b"}));
}

TEST(HTMLLayout, TallerRunsSetTheLineHeightAndTextSitsOnTheBottom) {
    Engine e;
    EXPECT_EQ(e.Draw("a<FONT SIZE=\"5\">B</FONT>c<BR>d").Height, 21 + 14);
    EXPECT_EQ(e.Placed(), (Strings{"0,7:a", "7,0:B", "21,7:c", "0,21:d"}));
}

TEST(HTMLLayout, DrawingStopsAtTheFirstLineThatDoesNotFit) {
    Engine e;
    TTextExtent ext = e.Draw("one two", {6, 6, 40, 23});
    EXPECT_EQ(e.Placed(), (Strings{"6,6:one "}));
    EXPECT_EQ(ext.Height, 14);
    EXPECT_EQ(e.Measure("one two", {6, 6, 40, 23}).Height, 28);
}

TEST(HTMLLayout, FirstLineIsDrawnEvenWhenTallerThanTheRectangle) {
    // The dialog's caption area is 17 pixels high; a larger font must not
    // make the caption and its link disappear.
    Engine e;
    EXPECT_EQ(e.Draw("x y", {0, 0, 10, 13}).Height, 14);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:x "}));
    EXPECT_EQ(e.Hit("<A href=\"t\">x</A>", {3, 10}, {0, 0, 100, 13}).Target, "t");
}

TEST(HTMLLayout, MeasureOnlyDrawsNothing) {
    Engine e;
    EXPECT_EQ(e.Measure("<BODY BGCOLOR=\"clRed\"><P BGCOLOR=\"clRed\">ab<HR><E>c"), (TTextExtent{14, 28}));
    EXPECT_TRUE(e.S.Texts.empty());
    EXPECT_TRUE(e.S.Fills.empty());
    EXPECT_TRUE(e.S.Lines.empty());
}

// ---------------------------------------------------------------- tags

TEST(HTMLTags, FontStyles) {
    Engine e;
    e.Draw("<B>b</B><I>i</I><U>u</U><S>s</S>n<b><i>bi</B></I>");
    EXPECT_TRUE(e.Text("b").Font.Bold);
    EXPECT_TRUE(e.Text("i").Font.Italic);
    EXPECT_TRUE(e.Text("u").Font.Underline);
    EXPECT_TRUE(e.Text("s").Font.StrikeOut);
    const TFontSpec& n = e.Text("n").Font;
    EXPECT_FALSE(n.Bold || n.Italic || n.Underline || n.StrikeOut);
    EXPECT_TRUE(e.Text("bi").Font.Bold && e.Text("bi").Font.Italic);
}

TEST(HTMLTags, FontSizeFaceAndColours) {
    Engine e;
    e.Draw("<FONT SIZE=\"7\">a</FONT><FONT SIZE=\"3\">b</FONT><FONT size=\"1\" FACE=\"Courier\">c</FONT>"
           "<FONT SIZE=\"x\">d</FONT><FONT SIZE=\"99999999\">e</FONT>f");
    EXPECT_EQ(e.Text("a").Font.Size, 7);
    EXPECT_EQ(e.Text("b").Font.Size, 12);
    EXPECT_EQ(e.Text("c").Font.Size, 8);
    EXPECT_EQ(e.Text("c").Font.Name, "Courier");
    EXPECT_EQ(e.Text("d").Font.Size, 9);
    EXPECT_EQ(e.Text("e").Font.Size, kMaxFontPoints);
    EXPECT_EQ(e.Text("f").Font.Size, 9);
    EXPECT_EQ(e.Text("f").Font.Name, "Tahoma");
}

TEST(HTMLTags, FontColourByHexOrNameAndBackground) {
    Engine e;
    e.Draw("<FONT COLOR=\"#ff0000\">a</FONT><FONT COLOR=\"clRed\">b</FONT>"
           "<FONT BGCOLOR=\"clYellow\" COLOR=\"clBlue\">c</FONT>d<FONT COLOR=clRed>e");
    EXPECT_EQ(e.Text("a").Color, clRed);
    EXPECT_EQ(e.Text("b").Color, clRed);
    EXPECT_EQ(e.Text("c").Color, clBlue);
    EXPECT_EQ(e.Text("d").Color, clBlack);
    EXPECT_EQ(e.Text("e").Color, clBlack);  // unquoted value: ignored
    ASSERT_EQ(e.S.Fills.size(), 1u);
    EXPECT_EQ(e.S.Fills[0], (std::pair<TRect, TColor>{{14, 0, 21, 14}, clYellow}));
}

TEST(HTMLTags, AnchorsAreUnderlinedInURLColorAndRestoreTheFontColour) {
    Engine e;
    e.Style.URLColor = clGreen;
    e.Font.Color = clMaroon;
    e.Draw("a<A href=\"t1\">link</A>b");
    EXPECT_EQ(e.Text("link").Color, clGreen);
    EXPECT_TRUE(e.Text("link").Font.Underline);
    EXPECT_EQ(e.Text("b").Color, clMaroon);
    EXPECT_FALSE(e.Text("b").Font.Underline);
    EXPECT_TRUE(e.S.Fills.empty());
}

TEST(HTMLTags, AnchorsGetHoverColorAsBackgroundWithoutHover) {
    Engine e;
    e.Style.HoverColor = clYellow;
    e.Draw("<A href=\"t\">ab</A>c");
    ASSERT_EQ(e.S.Fills.size(), 1u);
    EXPECT_EQ(e.S.Fills[0], (std::pair<TRect, TColor>{{0, 0, 14, 14}, clYellow}));
}

TEST(HTMLTags, HoverHighlightsOnlyTheAnchorUnderTheMouse) {
    Engine e;
    e.Style.Hover = true;
    e.Style.HoverColor = clYellow;
    e.Style.HoverFontColor = clRed;
    const char* text = "<A href=\"1\">one</A> <A href=\"2\">two</A>";
    e.Draw(text, kWide, TPoint{30, 5});
    EXPECT_FALSE(e.Text("one").Font.Underline);
    EXPECT_EQ(e.Text("one").Color, clBlue);
    EXPECT_TRUE(e.Text("two").Font.Underline);
    EXPECT_EQ(e.Text("two").Color, clRed);
    ASSERT_EQ(e.S.Fills.size(), 1u);
    EXPECT_EQ(e.S.Fills[0].first, (TRect{28, 0, 49, 14}));
    e.S.Clear();
    e.Draw(text, kWide, TPoint{500, 5});
    EXPECT_FALSE(e.Text("two").Font.Underline);
    EXPECT_TRUE(e.S.Fills.empty());
}

TEST(HTMLTags, HorizontalRuleEndsTheLine) {
    Engine e;
    EXPECT_EQ(e.Draw("ab<HR>c", {0, 0, 100, 100}).Height, 28);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:ab", "0,14:c"}));
    ASSERT_EQ(e.S.Lines.size(), 1u);
    EXPECT_EQ(e.S.Lines[0].From, (TPoint{0, 13}));
    EXPECT_EQ(e.S.Lines[0].To, (TPoint{99, 13}));
    EXPECT_EQ(e.S.Lines[0].Color, clBlack);
}

TEST(HTMLTags, ParagraphBackgroundAndGradient) {
    Engine e;
    e.Draw("<P BGCOLOR=\"clRed\">a<BR>b</P>c<P BGCOLORTO=\"clWhite\" BGCOLOR=\"clBlack\">d", {0, 0, 100, 100});
    ASSERT_EQ(e.S.Fills.size(), 2u);
    EXPECT_EQ(e.S.Fills[0], (std::pair<TRect, TColor>{{0, 0, 100, 14}, clRed}));
    EXPECT_EQ(e.S.Fills[1], (std::pair<TRect, TColor>{{0, 14, 100, 28}, clRed}));
    ASSERT_EQ(e.S.Gradients.size(), 1u);
    EXPECT_EQ(e.S.Gradients[0].Rect, (TRect{0, 28, 100, 42}));
    EXPECT_EQ(e.S.Gradients[0].From, clBlack);
    EXPECT_EQ(e.S.Gradients[0].To, clWhite);
    EXPECT_EQ(e.S.Gradients[0].Steps, 64);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:a", "0,14:b", "0,28:c", "7,28:d"}));
}

TEST(HTMLTags, BodyFillsAndTilesTheRectangle) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "tile"}, TImageInfo{{40, 30}, 1}});
    e.Draw("<BODY BGCOLOR=\"clAqua\" BACKGROUND=\"tile\">x", {0, 0, 100, 50});
    ASSERT_EQ(e.S.Fills.size(), 1u);
    EXPECT_EQ(e.S.Fills[0], (std::pair<TRect, TColor>{{0, 0, 100, 50}, clAqua}));
    EXPECT_EQ(e.S.Images.size(), 6u);  // 3 columns x 2 rows
    EXPECT_EQ(e.S.Images.back().Dest, (TRect{80, 30, 120, 60}));
    EXPECT_EQ(e.S.Clips, (std::vector<TRect>{{0, 0, 100, 50}, {}}));
}

TEST(HTMLTags, BackgroundTilesAreBoundedPerPaintNotPerFill) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "dot"}, TImageInfo{{1, 1}, 1}});
    std::string text;
    for (int i = 0; i < 7; ++i) text += "<BODY BACKGROUND=\"dot\">x<BR>";
    e.Draw(text, {0, 0, 300, 100});  // 30000 tiles per fill, seven lines drawn
    EXPECT_EQ(e.S.Images.size(), 90000u);
}

TEST(HTMLTags, ZigzagIsClippedToTheRectangle) {
    Engine e;
    e.Draw("<FONT SIZE=\"512\"><E>" + std::string(2000, 'w'), {0, 0, 300, 600});
    ASSERT_EQ(e.S.Texts.size(), 1u);
    EXPECT_EQ(e.S.Lines.size(), 150u);
    EXPECT_EQ(e.S.Lines.back().To.X, 300);
}

TEST(HTMLTags, InlineImages) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikList, 0, {}}, TImageInfo{{16, 16}, 1}});
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "anim"}, TImageInfo{{10, 20}, 3}});
    EXPECT_EQ(e.Draw("a<IMG SRC=\"IDX:0\">b<IMG SRC=\"IDX:5\">c").Height, 16);
    EXPECT_EQ(e.Placed(), (Strings{"0,2:a", "23,2:b", "30,2:c"}));
    ASSERT_EQ(e.S.Images.size(), 1u);
    EXPECT_EQ(e.S.Images[0].Dest, (TRect{7, 0, 23, 16}));

    e.S.Clear();
    e.S.Ppi = 144;  // list images scale with the pixels per inch, pictures do not
    e.Draw("<IMG SRC=\"IDX:0\"><IMG SRC=\"anim\"><IMG SRC=\"anim\" WIDTH=\"20\" HEIGHT=\"10\">");
    ASSERT_EQ(e.S.Images.size(), 3u);
    EXPECT_EQ(e.S.Images[0].Dest, (TRect{0, 0, 24, 24}));
    EXPECT_EQ(e.S.Images[1].Dest, (TRect{24, 4, 34, 24}));
    EXPECT_EQ(e.S.Images[2].Dest, (TRect{34, 9, 64, 24}));
    // Multi-frame pictures are drawn over the label's colour.
    ASSERT_EQ(e.S.Fills.size(), 2u);
    EXPECT_EQ(e.S.Fills[0].second, e.Style.BackgroundColor);
}

TEST(HTMLTags, ImageAlignment) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "p"}, TImageInfo{{10, 30}, 1}});
    EXPECT_EQ(e.Draw("a<IMG SRC=\"p\" ALIGN=\"TOP\">").Height, 30);
    EXPECT_EQ(e.Placed(), (Strings{"0,0:a"}));
    EXPECT_EQ(e.S.Images[0].Dest, (TRect{7, 0, 17, 30}));
    e.S.Clear();
    EXPECT_EQ(e.Draw("a<IMG SRC=\"p\" align=\"middle\">").Height, 30);
    EXPECT_EQ(e.Placed(), (Strings{"0,1:a"}));
    EXPECT_EQ(e.S.Images[0].Dest, (TRect{7, 0, 17, 30}));
}

TEST(HTMLTags, ImageThatDoesNotFitStartsANewLine) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "p"}, TImageInfo{{30, 10}, 1}});
    e.Draw("abc<IMG SRC=\"p\">", {0, 0, 40, 100});
    EXPECT_EQ(e.S.Images[0].Dest, (TRect{0, 18, 30, 28}));  // a line without text is at least "gh" high
}

TEST(HTMLTags, ShadowZigzagHighlightHiddenRotated) {
    Engine e;
    e.Style.ShadowColor = clSilver;
    e.Style.ShadowOffset = 3;
    e.Draw("<SHAD>s</SHAD><E>err</E><HI>h</HI>n<Z>hidden<LI>x</Z>v<R a=\"90\">r</R>u");
    ASSERT_GE(e.S.Texts.size(), 2u);
    EXPECT_EQ(e.Placed()[0], "3,3:s");
    EXPECT_EQ(e.S.Texts[0].Color, clSilver);
    EXPECT_EQ(e.Placed()[1], "0,0:s");
    // err is 21 pixels: ten 2-pixel zigzag steps in red.
    ASSERT_EQ(e.S.Lines.size(), 10u);
    EXPECT_EQ(e.S.Lines[0].From, (TPoint{7, 13}));
    EXPECT_EQ(e.S.Lines[0].To, (TPoint{9, 11}));
    EXPECT_EQ(e.S.Lines[1].To, (TPoint{11, 13}));
    EXPECT_EQ(e.S.Lines[0].Color, clRed);
    EXPECT_EQ(e.Text("h").Color, SystemColor(kColorHighlightText));
    ASSERT_EQ(e.S.Fills.size(), 1u);
    EXPECT_EQ(e.S.Fills[0], (std::pair<TRect, TColor>{{28, 0, 35, 14}, SystemColor(kColorHighlight)}));
    EXPECT_EQ(e.Text("n").Color, clBlack);
    EXPECT_EQ(e.Text("v").At.X, 42);  // hidden text takes no space
    EXPECT_EQ(e.Text("r").Font.Orientation, 90);
    EXPECT_EQ(e.Text("u").Font.Orientation, 0);
    for (const auto& t : e.S.Texts) EXPECT_EQ(t.Text.find("hidden"), std::string::npos);
}

TEST(HTMLTags, ClosingULAtLevelZeroEndsUnderline) {
    Engine e;
    e.Draw("<U>a</UL>b");
    EXPECT_TRUE(e.Text("a").Font.Underline);
    EXPECT_FALSE(e.Text("b").Font.Underline);
}

TEST(HTMLTags, UnknownUnterminatedAndShortTags) {
    Engine e;
    e.Draw("a<foo bar>b<Bogus>c");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:a", "7,0:b", "14,0:c"}));
    e.S.Clear();
    e.Draw("a<B never closed");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:a"}));
    e.S.Clear();
    e.Draw("ab<x");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:ab"}));
}

TEST(HTMLTags, AmpersandsAndRunEntities) {
    Engine e;
    e.Draw("A &amp; B");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:A ", "14,0:& ", "28,0:B"}));
    EXPECT_TRUE(e.Text("& ").Underlined.empty());
    e.S.Clear();
    e.Draw("A & B");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:A ", "14,0: ", "21,0:B"}));
    EXPECT_EQ(e.S.Texts[1].Underlined.size(), 1u);
    e.S.Clear();
    e.Draw("1&lt;2&GT;0&nbsp;x");
    EXPECT_EQ(e.Placed(), (Strings{"0,0:1<2>0 x"}));
}

// ---------------------------------------------------------------- hit-testing

TEST(HTMLHitTest, FindsAnchorsWhereTheyAreDrawn) {
    Engine e;
    const char* text = "ab <A href=\"first\">cd</A> <A x=\"1\" href=\"second\">ef gh</A>";
    EXPECT_EQ(e.Hit(text, {3, 5}).Index, 0);
    TAnchorHit hit = e.Hit(text, {21, 0});
    EXPECT_EQ(hit.Target, "first");
    EXPECT_EQ(hit.Index, 1);
    EXPECT_EQ(hit.Rect, (TRect{21, 0, 35, 14}));
    hit = e.Hit(text, {50, 13});
    EXPECT_EQ(hit.Target, "1");  // the first quoted value is the target
    EXPECT_EQ(hit.Index, 2);
    EXPECT_EQ(e.Hit(text, {70, 13}).Index, 2);
    EXPECT_EQ(e.Hit(text, {50, 14}).Index, 0);
    EXPECT_EQ(e.Hit(text, {20, 5}).Index, 0);

    // Every anchor's runs with their text and place; the second anchor
    // wrapped after "ef ", then with its second line left undrawn.
    EXPECT_EQ(e.Anchors(text), (Strings{"1 first cd @21,0,35,14", "2 1 ef  @42,0,63,14", "2 1 gh @63,0,77,14"}));
    EXPECT_EQ(e.Anchors(text, {0, 0, 65, 100}),
              (Strings{"1 first cd @21,0,35,14", "2 1 ef  @42,0,63,14", "2 1 gh @0,14,14,28"}));
    EXPECT_EQ(e.Anchors(text, {0, 0, 65, 20}), (Strings{"1 first cd @21,0,35,14", "2 1 ef  @42,0,63,14"}));
}

TEST(HTMLHitTest, UsesTheTextBandAtTheLineBottomAndAlignment) {
    Engine e;
    const char* text = "<P ALIGN=\"RIGHT\"><FONT SIZE=\"16\">Big</FONT><A href=\"t\">x</A>";
    // The line is 21 high; "gh" of the anchor's font is 14: band y 7..20.
    EXPECT_EQ(e.Hit(text, {95, 7}, {0, 0, 100, 100}).Target, "t");
    EXPECT_EQ(e.Hit(text, {95, 6}, {0, 0, 100, 100}).Target, "");
    EXPECT_EQ(e.Hit(text, {92, 20}, {0, 0, 100, 100}).Target, "");
}

TEST(HTMLHitTest, ImagesInsideAnchorsAndUndrawnLines) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "p"}, TImageInfo{{20, 30}, 1}});
    EXPECT_EQ(e.Hit("<A href=\"img\"><IMG SRC=\"p\"></A>", {10, 2}).Target, "img");
    EXPECT_EQ(e.Hit("one <A href=\"t\">two</A>", {3, 20}, {0, 0, 40, 23}).Index, 0);
    EXPECT_EQ(e.Hit("one <A href=\"t\">two</A>", {3, 20}, {0, 0, 40, 40}).Index, 1);
}

// ---------------------------------------------------------------- the dialog's caption

TEST(HTMLCaption, DialogCaptionRunsAndAnchor) {
    Engine e;
    e.Font = Base(true);
    const std::string text = std::string("</b>QRCode:<b> Anna Berg") + " | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>";
    const TRect area{6, 6, 238, 23};  // the 17-pixel text area at height 29
    TTextExtent ext = e.Draw(text, area);
    EXPECT_EQ(ext.Height, 14);
    EXPECT_EQ(e.Placed(), (Strings{"6,6:QRCode:", "55,6: ", "63,6:Anna ", "103,6:Berg ", "143,6:| ",
                                   "159,6:Gr\xC3\xB6\xC3\x9F" "er"}));
    EXPECT_FALSE(e.Text("QRCode:").Font.Bold);
    EXPECT_TRUE(e.Text("Anna ").Font.Bold);
    EXPECT_TRUE(e.Text("| ").Font.Bold);
    const auto& link = e.Text("Gr\xC3\xB6\xC3\x9F" "er");
    EXPECT_TRUE(link.Font.Bold && link.Font.Underline);
    EXPECT_EQ(link.Color, clBlue);
    TAnchorHit hit = e.Hit(text, {170, 12}, area);
    EXPECT_EQ(hit.Target, "x");
    EXPECT_EQ(hit.Index, 1);
    EXPECT_EQ(e.Hit(text, {100, 12}, area).Index, 0);
}

TEST(HTMLCaption, SecondLineOfTheCaptionIsLaidOutButNotDrawn) {
    Engine e;
    e.Font = Base(true);
    const std::string text = "</b>QRCode:<b> Anna Berg Musterfirma GmbH | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>";
    const TRect area{6, 6, 238, 23};
    EXPECT_EQ(e.Measure(text, area).Height, 28);
    EXPECT_EQ(e.Draw(text, area).Height, 14);
    for (const auto& t : e.S.Texts) EXPECT_EQ(t.At.Y, 6) << t.Text;
    EXPECT_EQ(e.Hit(text, {10, 30}, area).Index, 0);
}

// ---------------------------------------------------------------- whole output

TEST(HTMLWholeOutput, RichSampleMatchesReference) {
    Engine e;
    e.S.Pictures.push_back({TImageRef{TImageKind::ikList, 1, {}}, TImageInfo{{16, 16}, 1}});
    const char* text =
        "<BODY BGCOLOR=\"clWhite\"><P ALIGN=\"CENTER\"><B>Title</B> &amp; <I>more</I></P>"
        "<P INDENT=\"8\" BGCOLOR=\"#E0E0FF\" BGCOLORTO=\"clWhite\">Indented <FONT COLOR=\"clRed\" SIZE=\"4\">red</FONT>"
        " <IMG SRC=\"IDX:1\" ALIGN=\"MIDDLE\"> tail</P>"
        "<UL><LI>one<LI><A href=\"mailto:a@b.c\">two</A></LI><UL><LI><SUP>up</SUP><SUB>down</SUB></LI></UL></UL>"
        "<SHAD>sh</SHAD> <E>err</E> <HI>hi</HI><HR>&copy; 2024";
    e.Draw(text, {4, 4, 204, 400});
    std::ifstream in(QM_SOURCE_DIR "/tests/ui/data/rich_sample.txt", std::ios::binary);
    std::stringstream expected;
    expected << in.rdbuf();
    if (expected.str().empty()) {
        std::ofstream(QM_BINARY_DIR "/rich_sample.txt", std::ios::binary) << e.S.Log();
        FAIL() << "reference missing; actual output written to " QM_BINARY_DIR "/rich_sample.txt";
    }
    EXPECT_EQ(e.S.Log(), expected.str());
}

// ---------------------------------------------------------------- robustness

TEST(HTMLRobustness, HugeAndDeeplyNestedTextsEndQuickly) {
    std::string nested;
    for (int i = 0; i < 20000; ++i) nested += "<UL><B><A href=\"x\"><FONT SIZE=\"12\"><SUB>";
    nested += "deep";
    std::string amps(200000, '&');
    std::string entities;
    for (int i = 0; i < 50000; ++i) entities += "&amp;amp;";
    std::string longWord(300000, 'w');
    std::string images;
    for (int i = 0; i < 20000; ++i) images += "<IMG SRC=\"p\" WIDTH=\"2000000\" HEIGHT=\"2000000\">";

    auto start = std::chrono::steady_clock::now();
    for (const std::string* text : {&nested, &amps, &entities, &longWord, &images}) {
        Engine e;
        e.S.Record = false;
        e.S.Pictures.push_back({TImageRef{TImageKind::ikStore, 0, "p"}, TImageInfo{{1, 1}, 1}});
        TTextExtent m = e.Measure(*text, {0, 0, 300, 300});
        EXPECT_GT(m.Height, 0);  // every text shows something; no overflow below zero
        e.Draw(*text, {0, 0, 300, 300});
        e.Wrap = false;
        e.Draw(*text, {0, 0, 300, 300});
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(PrepareHTMLText(entities).size(), 150000u);
}

}  // namespace
}  // namespace qm

// The caption's link against the theme's caption colour: the caption's own blue
// where it reads at 4.5:1, else the theme's link colour, else a blue made
// readable (a dark theme that keeps a dark link colour).
TEST(LinkColour, ReadableOnEveryCaptionBackground) {
    EXPECT_NEAR(qm::ContrastRatio(qm::clBlack, qm::clWhite), 21.0, 1e-9);
    EXPECT_NEAR(qm::ContrastRatio(qm::clBlue, qm::clBlue), 1.0, 1e-9);
    const qm::TColor lightFace = qm::ColorRGB(0xF0, 0xF0, 0xF0);
    const qm::TColor darkFace = qm::ColorRGB(0x30, 0x30, 0x30);
    const qm::TColor darkThemeLink = qm::ColorRGB(0x8A, 0xB4, 0xF8);
    EXPECT_EQ(qm::ReadableLinkColor(qm::clBlue, lightFace, darkThemeLink), qm::clBlue);
    EXPECT_EQ(qm::ReadableLinkColor(qm::clBlue, darkFace, darkThemeLink), darkThemeLink);
    for (const qm::TColor face : {darkFace, qm::clBlack, qm::ColorRGB(0x00, 0x00, 0x60), qm::clGray}) {
        const qm::TColor made = qm::ReadableLinkColor(qm::clBlue, face, qm::clBlue);
        EXPECT_GE(qm::ContrastRatio(made, face), qm::kReadableContrast) << std::hex << face;
        EXPECT_GE(qm::BlueOf(made), qm::RedOf(made)) << std::hex << face;
    }
}

// Under High Contrast the dialog takes the theme's colours as they are (the
// code keeps its own black on white); otherwise the panel's white and blue.
TEST(LinkColour, HighContrastTakesTheThemesColours) {
    const qm::TSystemColors light{qm::clWhite, qm::clBlack, qm::ColorRGB(0x00, 0x66, 0xCC)};
    const qm::TSystemColors black{qm::clBlack, qm::clWhite, qm::clYellow};
    const struct {
        bool High;
        qm::TSystemColors System;
        qm::TDialogColors Want;
    } cases[] = {
        {false, light, {qm::clWhite, qm::clWhite, qm::clBlack, qm::clBlue}},
        {true, black, {qm::clBlack, qm::clBlack, qm::clWhite, qm::clYellow}},
        {true, light, {qm::clWhite, qm::clWhite, qm::clBlack, qm::ColorRGB(0x00, 0x66, 0xCC)}},
    };
    for (const auto& c : cases) EXPECT_TRUE(qm::DialogColors(c.High, qm::clWhite, c.System) == c.Want) << c.High;
}

// The caption label's behaviour without a toolkit: a label on the
// fixed-metric surface (9 pt characters 7 pixels wide, lines 14 high) whose
// toolkit side notes what it is asked to do. Text area, AutoSizing and
// vertical alignment, which anchor a point hits, what clicks, Enter and
// Space activate, hover events, the keyboard focus among the anchors and
// the hints. Each toolkit's test keeps its drawing and event plumbing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "UFixedSurface.h"
#include "UMarkupLabelBehaviour.h"

namespace qm {

// The label of this test program: the behaviour with a toolkit that only
// notes its calls in Log, in order with the events the test attaches.
class TMarkupLabel final : public TMarkupLabelBehaviour {
public:
    explicit TMarkupLabel(TSize size = {244, 29}) : Size(size) {
        Font.Name = "Tahoma";
        Font.Size = 9;
    }

    TSize Size;
    TFontSpec Font;
    bool Focused = false;
    std::vector<std::string> Log;

    void PaintNow() override { Log.push_back("paint"); }

    TFontSpec BaseFont() const override {
        TFontSpec font = Font;
        font.Color = FontColor();
        return font;
    }

    // Lays out and draws as a toolkit's paint does; returns what was drawn.
    std::vector<TFixedSurface::TTextCall> Draw() {
        TFixedSurface surface;
        const TLayout layout = Layout(surface);
        LastExtent = DrawLayout(surface, layout);
        return surface.Texts;
    }
    TTextExtent LastExtent;
    // The size AutoSizing gives after a paint.
    TSize SizeAfterPaint() {
        Draw();
        return AutoSized(LastExtent);
    }
    // The middle of the first drawn run `text`.
    TPoint CentreOf(std::string_view text) {
        for (const TFixedSurface::TTextCall& t : Draw()) {
            if (t.Text != text) continue;
            const int width = static_cast<int>(text.size()) * TFixedSurface::CharWidth(t.Font);
            return {t.At.X + width / 2, t.At.Y + TFixedSurface::LineHeight(t.Font) / 2};
        }
        ADD_FAILURE() << "not drawn: " << text;
        return {-1, -1};
    }

    using TMarkupLabelBehaviour::ClampAnchorFocus;
    using TMarkupLabelBehaviour::KeepAnchorFocusShown;
    using TMarkupLabelBehaviour::KeyPressed;
    using TMarkupLabelBehaviour::MouseEntered;
    using TMarkupLabelBehaviour::MouseLeft;
    using TMarkupLabelBehaviour::MouseMoved;
    using TMarkupLabelBehaviour::MousePressed;
    using TMarkupLabelBehaviour::PlaceAnchorFocus;

private:
    TMarkupLabel& Self() noexcept override { return *this; }
    TSize ClientSize() const override { return Size; }
    std::unique_ptr<THTMLSurface> LayoutSurface() override { return std::make_unique<TFixedSurface>(); }
    bool HasKeyboardFocus() const override { return Focused; }
    void ShowLinkCursor(bool overAnchor) override { Log.push_back(overAnchor ? "hand" : "arrow"); }
    void HideHint() override { Log.push_back("hide hint"); }
    void Repaint() override { Log.push_back("repaint"); }
    void AnchorFocusMoved() override { Log.push_back("focus moved"); }
    void Changed() override {}
};

namespace {

// A label of the dialog's caption shape (244 x 29, a margin of 6) showing
// `markup`, whose clicks and opened links are noted.
struct TCaption {
    TMarkupLabel HL;
    std::vector<std::string> Clicks;
    std::vector<std::string> Opened;

    explicit TCaption(std::string_view markup = "QRCode: Anna Berg | <A href=\"x\">Groesser</A>") {
        HL.SetAlign(TControlAlign::alTop);
        HL.SetBorderWidth(6);
        HL.SetHTMLText(markup);
        HL.OnAnchorClick = [this](TMarkupLabel&, const std::string& target) { Clicks.push_back(target); };
        HL.SetLinkOpener([this](const std::string& target) { Opened.push_back(target); });
    }
};

TEST(MarkupLabelBehaviour, DefaultsOfAFreshLabel) {
    const TMarkupLabel l;
    EXPECT_TRUE(l.HTMLText().Empty());
    EXPECT_FALSE(l.AutoSizing());
    EXPECT_EQ(l.AutoSizeType(), TAutoSizeType::asVertical);
    EXPECT_FALSE(l.Ellipsis());
    EXPECT_EQ(l.VAlignment(), TVAlignment::tvaTop);
    EXPECT_EQ(l.BorderWidth(), 0);
    EXPECT_EQ(l.BorderStyle(), TLabelBorderStyle::bsNone);
    EXPECT_EQ(l.BevelWidth(), 1);
    EXPECT_EQ(l.URLColor(), clBlue);
    EXPECT_EQ(l.ShadowColor(), clGray);
    EXPECT_EQ(l.ShadowOffset(), 2);
    EXPECT_FALSE(l.Hover());
    EXPECT_EQ(l.HoverColor(), clNone);
    EXPECT_EQ(l.HoverFontColor(), clNone);
    EXPECT_FALSE(l.Transparent());
    EXPECT_FALSE(l.OverAnchor());
    EXPECT_EQ(l.FocusedAnchor(), 0);
}

TEST(MarkupLabelBehaviour, TheLastEndUpdatePaints) {
    TMarkupLabel l;
    l.BeginUpdate();
    l.BeginUpdate();
    l.EndUpdate();
    EXPECT_TRUE(l.Log.empty());
    l.EndUpdate();
    l.EndUpdate();  // one too many
    EXPECT_EQ(l.Log, (std::vector<std::string>{"paint"}));
}

TEST(MarkupLabelBehaviour, UrlTargetsGoToTheDesktop) {
    const struct {
        std::string_view Target;
        bool Url;
    } rows[] = {
        {"https://x.org", true},       {"file:///tmp/a.png", true}, {"mailto:anna@example.org", true},
        {"MAILTO:a@b.de", true},       {"Mailto:a", true},          {"x", false},
        {"/tmp/mail.vcf", false},      {"mailto", false},           {"", false},
        {"write to mailto:a", false},  // only a leading "mailto:" counts
    };
    for (const auto& row : rows) EXPECT_EQ(IsUrlTarget(row.Target), row.Url) << row.Target;
}

TEST(MarkupLabelBehaviour, TextRectIsTheClientMinusBordersAndBevels) {
    const struct {
        TSize Size;
        int Border;
        TLabelBorderStyle Style;
        TBevelCut Inner, Outer;
        int BevelWidth;
        TRect Expected;
    } rows[] = {
        {{100, 30}, 0, TLabelBorderStyle::bsNone, TBevelCut::bvNone, TBevelCut::bvNone, 1, {0, 0, 100, 30}},
        {{244, 29}, 6, TLabelBorderStyle::bsNone, TBevelCut::bvNone, TBevelCut::bvNone, 1, {6, 6, 238, 23}},
        {{60, 40}, 3, TLabelBorderStyle::bsSingle, TBevelCut::bvNone, TBevelCut::bvRaised, 2, {8, 8, 52, 32}},
        {{60, 40}, 0, TLabelBorderStyle::bsNone, TBevelCut::bvLowered, TBevelCut::bvNone, 3, {3, 3, 57, 37}},
        // Both bevels count once: the width is that of each.
        {{60, 40}, 1, TLabelBorderStyle::bsNone, TBevelCut::bvLowered, TBevelCut::bvRaised, 2, {3, 3, 57, 37}},
    };
    for (const auto& row : rows) {
        TMarkupLabel l(row.Size);
        l.SetBorderWidth(row.Border);
        l.SetBorderStyle(row.Style);
        l.SetBevelInner(row.Inner);
        l.SetBevelOuter(row.Outer);
        l.SetBevelWidth(row.BevelWidth);
        EXPECT_EQ(l.TextRect(), row.Expected) << row.Size.Width << "x" << row.Size.Height;
    }
}

TEST(MarkupLabelBehaviour, AutoSizingChangesOnlyTheDimensionTheAlignmentLeavesFree) {
    constexpr int line = 14;
    constexpr int oneWidth = 8 * 7;  // "line one" is the widest line
    const struct {
        bool AutoSizing;
        TAutoSizeType Type;
        TControlAlign Align;
        TSize Expected;
    } rows[] = {
        {false, TAutoSizeType::asBoth, TControlAlign::alNone, {200, 10}},
        {true, TAutoSizeType::asVertical, TControlAlign::alTop, {200, 2 * line + 6}},
        {true, TAutoSizeType::asVertical, TControlAlign::alBottom, {200, 2 * line + 6}},
        {true, TAutoSizeType::asVertical, TControlAlign::alLeft, {200, 10}},
        {true, TAutoSizeType::asHorizontal, TControlAlign::alTop, {200, 10}},
        {true, TAutoSizeType::asHorizontal, TControlAlign::alRight, {oneWidth + 6, 10}},
        {true, TAutoSizeType::asBoth, TControlAlign::alNone, {oneWidth + 6, 2 * line + 6}},
        {true, TAutoSizeType::asBoth, TControlAlign::alClient, {200, 10}},
    };
    for (const auto& row : rows) {
        TMarkupLabel l({200, 10});
        l.SetHTMLText(TStringList{"line one<BR>", "line two"});
        l.SetAlign(row.Align);
        l.SetAutoSizeType(row.Type);
        l.SetAutoSizing(row.AutoSizing);
        EXPECT_EQ(l.SizeAfterPaint(), row.Expected) << static_cast<int>(row.Type) << " " << static_cast<int>(row.Align);
    }
}

TEST(MarkupLabelBehaviour, VerticalAlignmentMovesTheTextBlock) {
    const struct {
        TVAlignment Alignment;
        int Y;
    } rows[] = {{TVAlignment::tvaTop, 0}, {TVAlignment::tvaBottom, 100 - 14}, {TVAlignment::tvaCenter, (100 - 14) / 2}};
    for (const auto& row : rows) {
        TMarkupLabel l({200, 100});
        l.SetHTMLText(std::string_view("abc"));
        l.SetVAlignment(row.Alignment);
        const auto drawn = l.Draw();
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0].At, (TPoint{0, row.Y})) << static_cast<int>(row.Alignment);
    }
}

TEST(MarkupLabelBehaviour, AnchorUnderAPointAndTheUndrawnSecondLine) {
    TCaption c;
    const TPoint link = c.HL.CentreOf("Groesser");
    EXPECT_EQ(c.HL.GetAnchorAt(link.X, link.Y), "x");
    EXPECT_EQ(c.HL.AnchorAt(link.X, link.Y).Index, 1);
    const TPoint plain = c.HL.CentreOf("Anna ");
    EXPECT_EQ(c.HL.GetAnchorAt(plain.X, plain.Y), "");
    EXPECT_EQ(c.HL.GetAnchorAt(-5, -5), "");

    // The link wraps onto the second line, which is neither drawn nor hit.
    c.HL.SetHTMLText(std::string_view("QRCode: Anna Berg Musterfirma Handelsgesellschaft mbH | <A href=\"x\">Groesser</A>"));
    for (const auto& d : c.HL.Draw()) EXPECT_EQ(d.At.Y, 6) << d.Text;
    EXPECT_EQ(c.HL.GetAnchorAt(20, 6 + 14 + 7), "");
    EXPECT_TRUE(c.HL.Anchors().empty());
}

TEST(MarkupLabelBehaviour, ThePressOfWhichButtonWhereActivatesWhat) {
    const struct {
        std::string_view Markup;
        TMouseButton Button;
        std::string_view At;
        std::vector<std::string> Clicks, Opened;
    } rows[] = {
        {"go <A href=\"x\">here</A>", TMouseButton::mbLeft, "here", {"x"}, {}},
        {"go <A href=\"x\">here</A>", TMouseButton::mbLeft, "go ", {}, {}},
        {"go <A href=\"x\">here</A>", TMouseButton::mbRight, "here", {}, {}},
        {"go <A href=\"x\">here</A>", TMouseButton::mbMiddle, "here", {}, {}},
        {"go <A href=\"x\">here</A>", TMouseButton::mbOther, "here", {}, {}},
        {"<A href=\"mailto:anna@example.org\">mail</A>", TMouseButton::mbLeft, "mail", {}, {"mailto:anna@example.org"}},
        {"<A href=\"MAILTO:anna@example.org\">mail</A>", TMouseButton::mbLeft, "mail", {}, {"MAILTO:anna@example.org"}},
        {"<A href=\"https://x.org\">web</A>", TMouseButton::mbLeft, "web", {}, {"https://x.org"}},
        {"<A href=\"https://x.org\">web</A>", TMouseButton::mbRight, "web", {}, {}},
        {"<A href=\"see mailto:a\">text</A>", TMouseButton::mbLeft, "text", {"see mailto:a"}, {}},
    };
    for (const auto& row : rows) {
        TCaption c(row.Markup);
        c.HL.MousePressed(row.Button, c.HL.CentreOf(row.At));
        EXPECT_EQ(c.Clicks, row.Clicks) << row.Markup << " at " << row.At;
        EXPECT_EQ(c.Opened, row.Opened) << row.Markup << " at " << row.At;
    }
}

TEST(MarkupLabelBehaviour, ActivationWithoutHandlersDoesNothing) {
    TMarkupLabel l;
    l.SetHTMLText(std::string_view("<A href=\"x\">a</A> <A href=\"https://x.org\">b</A>"));
    l.MousePressed(TMouseButton::mbLeft, l.CentreOf("a"));
    l.SetLinkOpener(nullptr);
    l.MousePressed(TMouseButton::mbLeft, l.CentreOf("b"));
    // No anchor (Index 0): nothing, whatever the target says.
    std::vector<std::string> clicks;
    l.OnAnchorClick = [&](TMarkupLabel&, const std::string& t) { clicks.push_back(t); };
    l.ActivateAnchor(TAnchorHit{"x", 0, {}, ""});
    l.ActivateAnchor(TAnchorHit{"x", 1, {}, ""});
    EXPECT_EQ(clicks, (std::vector<std::string>{"x"}));
}

TEST(MarkupLabelBehaviour, HoverRaisesEnterAndExitOnceAndRepaintsWithHover) {
    TCaption c;
    std::vector<std::string>& log = c.HL.Log;
    c.HL.OnAnchorEnter = [&](TMarkupLabel& l, const std::string& t) {
        log.push_back("enter " + t + (l.OverAnchor() ? " over" : ""));
    };
    c.HL.OnAnchorExit = [&](TMarkupLabel& l, const std::string& t) {
        log.push_back("exit " + t + (l.OverAnchor() ? " over" : ""));
    };
    c.HL.OnMouseEnter = [&](TMarkupLabel&) { log.push_back("mouse enter"); };
    c.HL.OnMouseLeave = [&](TMarkupLabel&) { log.push_back("mouse leave"); };
    const TPoint link = c.HL.CentreOf("Groesser");
    const TPoint plain = c.HL.CentreOf("Anna ");

    c.HL.MouseEntered();
    c.HL.MouseMoved(plain);
    c.HL.MouseMoved(link);
    EXPECT_TRUE(c.HL.OverAnchor());
    c.HL.MouseMoved({link.X + 1, link.Y});
    c.HL.MouseMoved(plain);
    EXPECT_FALSE(c.HL.OverAnchor());
    EXPECT_EQ(log, (std::vector<std::string>{"mouse enter", "hand", "enter x over", "hand", "arrow", "exit x"}));

    // With Hover the label repaints on each change; with AnchorHint the
    // hint of the anchor goes on each change as well. Leaving the label
    // raises no exit.
    log.clear();
    c.HL.SetHover(true);
    c.HL.SetAnchorHint(true);
    c.HL.MouseMoved(link);
    c.HL.MouseMoved(plain);
    c.HL.MouseMoved(link);
    c.HL.MouseLeft();
    EXPECT_FALSE(c.HL.OverAnchor());
    EXPECT_EQ(log, (std::vector<std::string>{"hand", "hide hint", "enter x over", "repaint", "arrow", "hide hint",
                                             "exit x", "repaint", "hand", "hide hint", "enter x over", "repaint",
                                             "repaint", "mouse leave"}));
}

TEST(MarkupLabelBehaviour, TheHoveredAnchorDrawsInTheHoverColourOnlyWithHover) {
    TCaption c;
    c.HL.SetHoverFontColor(clRed);
    auto linkColour = [&c] {
        for (const auto& d : c.HL.Draw())
            if (d.Text == "Groesser") return d.Color;
        return clNone;
    };
    const TPoint link = c.HL.CentreOf("Groesser");
    c.HL.MouseMoved(link);
    EXPECT_EQ(linkColour(), clBlue);  // Hover is off
    c.HL.SetHover(true);
    EXPECT_EQ(linkColour(), clRed);
    c.HL.MouseMoved(c.HL.CentreOf("Anna "));
    EXPECT_EQ(linkColour(), clBlue);
    c.HL.MouseMoved(link);
    c.HL.MouseLeft();
    EXPECT_EQ(linkColour(), clBlue);
}

TEST(MarkupLabelBehaviour, HintsShowTheTargetOrTheWholeText) {
    const std::string text = "</b>QRCode:<b> Anna<BR>Berg | <A href=\"x\">Groesser</A>";
    const struct {
        bool AnchorHint, ShowFull, HTML;
        bool OverLink;
        std::optional<std::string> Hint;
    } rows[] = {
        {false, false, false, true, std::nullopt},
        {false, false, false, false, std::nullopt},
        {true, false, false, true, "go x"},
        {true, false, false, false, std::nullopt},
        {false, true, false, true, "QRCode: Anna\nBerg | Groesser"},
        {true, true, false, false, "QRCode: Anna\nBerg | Groesser"},
        {true, true, true, true, "go x"},
        {true, true, true, false, text},
    };
    for (const auto& row : rows) {
        TCaption c(text);
        c.HL.Size = {244, 60};  // room for the second line
        c.HL.SetAnchorHint(row.AnchorHint);
        c.HL.SetHintShowFull(row.ShowFull);
        c.HL.SetHTMLHint(row.HTML);
        c.HL.OnAnchorHint = [](TMarkupLabel&, std::string& hint) { hint = "go " + hint; };
        const TPoint at = c.HL.CentreOf(row.OverLink ? "Groesser" : "Berg ");
        EXPECT_EQ(c.HL.HintAt(at.X, at.Y), row.Hint)
            << row.AnchorHint << row.ShowFull << row.HTML << row.OverLink;
    }
}

TEST(MarkupLabelBehaviour, JoinedAnchorsInIndexOrderCutAtTheRight) {
    const std::vector<TAnchorHit> pieces = {
        {"b", 2, {50, 0, 80, 14}, "two "},
        {"a", 1, {0, 0, 30, 14}, "one "},
        {"a", 1, {0, 14, 120, 28}, "more  "},
        {"a", 1, {120, 14, 130, 28}, ""},  // a picture
    };
    EXPECT_EQ(JoinAnchorPieces(pieces, 100),
              (std::vector<TLabelAnchor>{{1, "a", "one more", {0, 0, 100, 28}}, {2, "b", "two", {50, 0, 80, 14}}}));
}

TEST(MarkupLabelBehaviour, TabMovesThroughTheAnchorsAndEnterAndSpaceActivate) {
    TCaption c("<A href=\"a\">one</A> and <A href=\"https://b.org\">two</A>");
    // Without the focus nothing moves and the keys activate nothing.
    ASSERT_TRUE(c.HL.PlaceAnchorFocus(false));
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);
    EXPECT_FALSE(c.HL.FocusNextAnchor(false));
    EXPECT_FALSE(c.HL.KeyPressed(TLabelKey::lkEnter));
    EXPECT_TRUE(c.Clicks.empty());

    c.HL.Focused = true;
    EXPECT_FALSE(c.HL.FocusNextAnchor(true));
    EXPECT_TRUE(c.HL.KeyPressed(TLabelKey::lkEnter));
    EXPECT_TRUE(c.HL.KeyPressed(TLabelKey::lkSpace));
    EXPECT_FALSE(c.HL.KeyPressed(TLabelKey::lkOther));
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"a", "a"}));
    ASSERT_TRUE(c.HL.FocusNextAnchor(false));
    EXPECT_EQ(c.HL.FocusedAnchor(), 2);
    EXPECT_EQ(c.HL.Log, (std::vector<std::string>{"focus moved"}));
    EXPECT_FALSE(c.HL.FocusNextAnchor(false));
    EXPECT_TRUE(c.HL.KeyPressed(TLabelKey::lkSpace));
    EXPECT_EQ(c.Opened, (std::vector<std::string>{"https://b.org"}));
    ASSERT_TRUE(c.HL.FocusNextAnchor(true));
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);

    // Shift+Tab enters at the last anchor.
    ASSERT_TRUE(c.HL.PlaceAnchorFocus(true));
    EXPECT_EQ(c.HL.FocusedAnchor(), 2);
}

TEST(MarkupLabelBehaviour, TheFocusedAnchorFollowsTheAnchorsThereAre) {
    TCaption c("<A href=\"a\">one</A> and <A href=\"b\">two</A>");
    c.HL.Focused = true;
    ASSERT_TRUE(c.HL.PlaceAnchorFocus(true));
    // Fewer anchors: the focus no further than the last one.
    c.HL.SetHTMLText(std::string_view("<A href=\"a\">one</A>"));
    EXPECT_EQ(c.HL.ClampAnchorFocus(), 1);
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);
    // None: no anchor to place the focus on, and it stays where it was.
    c.HL.SetHTMLText(std::string_view("plain"));
    EXPECT_FALSE(c.HL.PlaceAnchorFocus(false));
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);
    EXPECT_FALSE(c.HL.KeyPressed(TLabelKey::lkEnter));
    EXPECT_EQ(c.HL.ClampAnchorFocus(), 0);
    EXPECT_EQ(c.HL.FocusedAnchor(), 0);
    // Focus from elsewhere lands on the first anchor unless the focused one
    // is shown.
    c.HL.SetHTMLText(std::string_view("<A href=\"a\">one</A> and <A href=\"b\">two</A>"));
    c.HL.KeepAnchorFocusShown();
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);
    ASSERT_TRUE(c.HL.FocusNextAnchor(false));
    c.HL.KeepAnchorFocusShown();
    EXPECT_EQ(c.HL.FocusedAnchor(), 2);
    c.HL.SetHTMLText(std::string_view("plain"));
    c.HL.KeepAnchorFocusShown();
    EXPECT_EQ(c.HL.FocusedAnchor(), 0);
    EXPECT_TRUE(c.Clicks.empty());
}

}  // namespace
}  // namespace qm

// The caption label's behaviour without a toolkit, on the fixed-metric
// surface (9 pt characters 7 pixels wide, lines 14 high): text area,
// AutoSizing and vertical alignment, hit testing, clicks, keys, hover, the
// keyboard focus among the anchors and the hints. Each toolkit's test keeps
// its drawing and event plumbing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "UFixedSurface.h"
#include "UMarkupLabelBehaviour.h"

namespace qm {

// The label of this test program: the behaviour with a toolkit that only
// notes its calls in Log, in order with the events the test attaches.
class TMarkupLabel final : public TMarkupLabelBehaviour {
public:
    explicit TMarkupLabel(TSize size = {244, 29}) : Size(size) {}

    TSize Size;
    bool Focused = false;
    std::vector<std::string> Log;
    TSize SizeAfterPaint;  // what AutoSizing gives after the last Draw

    void PaintNow() override { Log.push_back("paint"); }
    TFontSpec BaseFont() const override { return {.Name = "Tahoma", .Size = 9, .Color = FontColor()}; }

    // Lays out and draws as a toolkit's paint does; returns what was drawn.
    std::vector<TFixedSurface::TTextCall> Draw() {
        TFixedSurface surface;
        SizeAfterPaint = AutoSized(DrawLayout(surface, Layout(surface)));
        return surface.Texts;
    }
    // The middle of the first drawn run `text`, and its colour.
    std::pair<TPoint, TColor> Run(std::string_view text) {
        for (const TFixedSurface::TTextCall& t : Draw())
            if (t.Text == text)
                return {{t.At.X + static_cast<int>(text.size()) * TFixedSurface::CharWidth(t.Font) / 2,
                         t.At.Y + TFixedSurface::LineHeight(t.Font) / 2},
                        t.Color};
        ADD_FAILURE() << "not drawn: " << text;
        return {{-1, -1}, clNone};
    }
    TPoint CentreOf(std::string_view text) { return Run(text).first; }

    using TMarkupLabelBehaviour::ClampAnchorFocus, TMarkupLabelBehaviour::KeepAnchorFocusShown,
        TMarkupLabelBehaviour::KeyPressed, TMarkupLabelBehaviour::MouseEntered, TMarkupLabelBehaviour::MouseLeft,
        TMarkupLabelBehaviour::MouseMoved, TMarkupLabelBehaviour::MousePressed, TMarkupLabelBehaviour::PlaceAnchorFocus;

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
    std::vector<std::string> Clicks, Opened;

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
    EXPECT_EQ(std::tuple(l.AutoSizing(), l.AutoSizeType(), l.Ellipsis(), l.VAlignment(), l.Hover(), l.Transparent()),
              std::tuple(false, TAutoSizeType::asVertical, false, TVAlignment::tvaTop, false, false));
    EXPECT_EQ(std::tuple(l.BorderWidth(), l.BorderStyle(), l.BevelWidth(), l.ShadowOffset(), l.FocusedAnchor()),
              std::tuple(0, TLabelBorderStyle::bsNone, 1, 2, 0));
    EXPECT_EQ(std::tuple(l.URLColor(), l.ShadowColor(), l.HoverColor(), l.HoverFontColor(), l.OverAnchor()),
              std::tuple(clBlue, clGray, clNone, clNone, false));
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
    const std::pair<std::string_view, bool> rows[] = {
        {"https://x.org", true},  {"file:///tmp/a.png", true}, {"mailto:anna@example.org", true},
        {"MAILTO:a@b.de", true},  {"Mailto:a", true},          {"x", false},
        {"/tmp/mail.vcf", false}, {"mailto", false},           {"", false},
        {"write to mailto:a", false},  // only a leading "mailto:" counts
    };
    for (const auto& [target, url] : rows) EXPECT_EQ(IsUrlTarget(target), url) << target;
}

TEST(MarkupLabelBehaviour, TextRectIsTheClientMinusBordersAndBevels) {
    using enum TBevelCut;
    const struct {
        TSize Size;
        int Border;
        bool Single;
        TBevelCut Inner, Outer;
        int BevelWidth;
        TRect Expected;
    } rows[] = {
        {{100, 30}, 0, false, bvNone, bvNone, 1, {0, 0, 100, 30}},
        {{244, 29}, 6, false, bvNone, bvNone, 1, {6, 6, 238, 23}},
        {{60, 40}, 3, true, bvNone, bvRaised, 2, {8, 8, 52, 32}},
        {{60, 40}, 0, false, bvLowered, bvNone, 3, {3, 3, 57, 37}},
        {{60, 40}, 1, false, bvLowered, bvRaised, 2, {3, 3, 57, 37}},  // both bevels count once
    };
    for (const auto& row : rows) {
        TMarkupLabel l(row.Size);
        l.SetBorderWidth(row.Border);
        l.SetBorderStyle(row.Single ? TLabelBorderStyle::bsSingle : TLabelBorderStyle::bsNone);
        l.SetBevelInner(row.Inner);
        l.SetBevelOuter(row.Outer);
        l.SetBevelWidth(row.BevelWidth);
        EXPECT_EQ(l.TextRect(), row.Expected) << row.Size.Width << "x" << row.Size.Height;
    }
}

// Where two lines of text land in a 200 x 100 label and the size AutoSizing
// gives: only the dimension the alignment leaves free changes.
TEST(MarkupLabelBehaviour, AutoSizingAndVerticalAlignment) {
    using enum TAutoSizeType;
    using enum TControlAlign;
    using enum TVAlignment;
    constexpr int height = 2 * 14 + 6, width = 8 * 7 + 6;  // "line one" is the widest line
    const struct {
        bool AutoSizing;
        TAutoSizeType Type;
        TControlAlign Align;
        TVAlignment VAlign;
        TSize Size;
        int Y;
    } rows[] = {
        {false, asBoth, alNone, tvaTop, {200, 100}, 0},      {true, asVertical, alTop, tvaTop, {200, height}, 0},
        {true, asVertical, alBottom, tvaTop, {200, height}, 0}, {true, asVertical, alLeft, tvaTop, {200, 100}, 0},
        {true, asHorizontal, alTop, tvaTop, {200, 100}, 0},  {true, asHorizontal, alRight, tvaTop, {width, 100}, 0},
        {true, asBoth, alNone, tvaTop, {width, height}, 0},  {true, asBoth, alClient, tvaTop, {200, 100}, 0},
        {false, asBoth, alNone, tvaBottom, {200, 100}, 72},  {false, asBoth, alNone, tvaCenter, {200, 100}, 36},
    };
    for (const auto& row : rows) {
        TMarkupLabel l({200, 100});
        l.SetHTMLText(TStringList{"line one<BR>", "line two"});
        l.SetAlign(row.Align);
        l.SetAutoSizeType(row.Type);
        l.SetAutoSizing(row.AutoSizing);
        l.SetVAlignment(row.VAlign);
        EXPECT_EQ(l.Draw().at(0).At, (TPoint{0, row.Y})) << &row - rows;
        EXPECT_EQ(l.SizeAfterPaint, row.Size) << &row - rows;
    }
}

TEST(MarkupLabelBehaviour, AnchorUnderAPointAndTheUndrawnSecondLine) {
    TCaption c;
    c.HL.SetHTMLText(TStringList{"QRCode: Anna Berg", " | <A href=\"x\">Groesser</A>"});  // as the dialog gives it
    EXPECT_EQ(c.HL.HTMLText().Text(), "QRCode: Anna Berg\r\n | <A href=\"x\">Groesser</A>\r\n");
    EXPECT_EQ(c.HL.JoinedText(), "QRCode: Anna Berg | <A href=\"x\">Groesser</A>");
    const TPoint link = c.HL.CentreOf("Groesser"), plain = c.HL.CentreOf("Anna ");
    EXPECT_EQ(c.HL.AnchorAt(link.X, link.Y).Index, 1);
    EXPECT_EQ(c.HL.GetAnchorAt(link.X, link.Y), "x");
    EXPECT_EQ(c.HL.GetAnchorAt(plain.X, plain.Y), "");
    EXPECT_EQ(c.HL.GetAnchorAt(-5, -5), "");

    // The link wraps onto the second line, which is neither drawn nor hit.
    c.HL.SetHTMLText(std::string_view("QRCode: Anna Berg Musterfirma Handelsgesellschaft mbH | <A href=\"x\">Groesser</A>"));
    for (const auto& d : c.HL.Draw()) EXPECT_EQ(d.At.Y, 6) << d.Text;
    EXPECT_EQ(c.HL.SizeAfterPaint, (TSize{244, 29}));  // AutoSizing is off
    EXPECT_EQ(c.HL.GetAnchorAt(20, 6 + 14 + 7), "");
    EXPECT_TRUE(c.HL.Anchors().empty());
}

// Which button activates, where, and where the target goes (the desktop for
// URLs, OnAnchorClick otherwise); without handlers nothing happens.
TEST(MarkupLabelBehaviour, ThePressOfWhichButtonWhereActivatesWhat) {
    using enum TMouseButton;
    const std::string_view local = "go <A href=\"x\">here</A>", mail = "<A href=\"MAILTO:a@b.de\">here</A>";
    const struct {
        std::string_view Markup;
        TMouseButton Button;
        std::string_view At;
        std::vector<std::string> Clicks, Opened;
        bool Handlers = true;
    } rows[] = {
        {local, mbLeft, "here", {"x"}, {}},  {local, mbLeft, "go ", {}, {}},  {local, mbRight, "here", {}, {}},
        {local, mbMiddle, "here", {}, {}},   {local, mbOther, "here", {}, {}}, {mail, mbRight, "here", {}, {}},
        {mail, mbLeft, "here", {}, {"MAILTO:a@b.de"}},
        {"<A href=\"see mailto:a\">here</A>", mbLeft, "here", {"see mailto:a"}, {}},
        {local, mbLeft, "here", {}, {}, false}, {mail, mbLeft, "here", {}, {}, false},
    };
    for (const auto& row : rows) {
        TCaption c(row.Markup);
        if (!row.Handlers) {
            c.HL.OnAnchorClick = nullptr;
            c.HL.SetLinkOpener(nullptr);
        }
        c.HL.MousePressed(row.Button, c.HL.CentreOf(row.At));
        EXPECT_EQ(c.Clicks, row.Clicks) << row.Markup << " at " << row.At;
        EXPECT_EQ(c.Opened, row.Opened) << row.Markup << " at " << row.At;
    }
    // No anchor (Index 0): nothing, whatever the target says.
    TCaption c;
    c.HL.ActivateAnchor(TAnchorHit{"x", 0, {}, ""});
    c.HL.ActivateAnchor(TAnchorHit{"x", 1, {}, ""});
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x"}));
}

// Enter and exit once per anchor (the label over it during enter, no longer
// during exit), the cursor on each move, a repaint on each change and the
// hover colour with Hover, the anchor's hint hidden on each change with
// AnchorHint, and no exit when the mouse leaves the label.
TEST(MarkupLabelBehaviour, HoverRaisesEnterAndExitOnceAndRepaintsWithHover) {
    const struct {
        bool Hover, AnchorHint;
        std::vector<std::string> Log;
    } rows[] = {
        {true, false, {"mouse enter", "hand", "enter x over", "repaint", "hand", "arrow", "exit x", "repaint", "hand",
                       "enter x over", "repaint", "repaint", "mouse leave"}},
        {false, true, {"mouse enter", "hand", "hide hint", "enter x over", "hand", "arrow", "hide hint", "exit x",
                       "hand", "hide hint", "enter x over", "mouse leave"}},
    };
    for (const auto& row : rows) {
        TCaption c;
        std::vector<std::string>& log = c.HL.Log;
        c.HL.SetHover(row.Hover);
        c.HL.SetHoverFontColor(clRed);
        c.HL.SetAnchorHint(row.AnchorHint);
        auto note = [&log](std::string what) {
            return [&log, what](TMarkupLabel& l, const std::string& t) {
                log.push_back(what + t + (l.OverAnchor() ? " over" : ""));
            };
        };
        c.HL.OnAnchorEnter = note("enter ");
        c.HL.OnAnchorExit = note("exit ");
        c.HL.OnMouseEnter = [&](TMarkupLabel&) { log.push_back("mouse enter"); };
        c.HL.OnMouseLeave = [&](TMarkupLabel&) { log.push_back("mouse leave"); };
        const TPoint link = c.HL.CentreOf("Groesser"), plain = c.HL.CentreOf("Anna ");
        c.HL.MouseEntered();
        for (const TPoint at : {plain, link, TPoint{link.X + 1, link.Y}, plain, link}) c.HL.MouseMoved(at);
        EXPECT_EQ(c.HL.Run("Groesser").second, row.Hover ? clRed : clBlue);
        c.HL.MouseLeft();
        EXPECT_EQ(c.HL.Run("Groesser").second, clBlue);
        EXPECT_FALSE(c.HL.OverAnchor());
        EXPECT_EQ(log, row.Log) << row.Hover;
    }
}

TEST(MarkupLabelBehaviour, HintsShowTheTargetOrTheWholeText) {
    const std::string text = "</b>QRCode:<b> Anna<BR>Berg | <A href=\"x\">Groesser</A>";
    const std::string plain = "QRCode: Anna\nBerg | Groesser";
    const struct {
        bool AnchorHint, ShowFull, HTML, OverLink;
        std::optional<std::string> Hint;
    } rows[] = {
        {false, false, false, true, std::nullopt}, {false, false, false, false, std::nullopt},
        {true, false, false, true, "go x"},        {true, false, false, false, std::nullopt},
        {false, true, false, true, plain},         {true, true, false, false, plain},
        {true, true, true, true, "go x"},          {true, true, true, false, text},
    };
    for (const auto& row : rows) {
        TCaption c(text);
        c.HL.Size = {244, 60};  // room for the second line
        c.HL.SetAnchorHint(row.AnchorHint);
        c.HL.SetHintShowFull(row.ShowFull);
        c.HL.SetHTMLHint(row.HTML);
        c.HL.OnAnchorHint = [](TMarkupLabel&, std::string& hint) { hint = "go " + hint; };
        const TPoint at = c.HL.CentreOf(row.OverLink ? "Groesser" : "Berg ");
        EXPECT_EQ(c.HL.HintAt(at.X, at.Y), row.Hint) << row.AnchorHint << row.ShowFull << row.HTML << row.OverLink;
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

// The keyboard focus among the anchors, step by step on one label: what
// each step returns, the focused anchor after it and what it activated.
TEST(MarkupLabelBehaviour, TabMovesThroughTheAnchorsAndEnterAndSpaceActivate) {
    const std::string_view two = "<A href=\"a\">one</A> and <A href=\"https://b.org\">two</A>";
    TCaption c(two);
    auto run = [&l = c.HL](std::string_view step) -> bool {
        if (step == "focus") return l.Focused = true;
        if (step == "place" || step == "place last") return l.PlaceAnchorFocus(step == "place last");
        if (step == "tab" || step == "back") return l.FocusNextAnchor(step == "back");
        if (step == "enter") return l.KeyPressed(TLabelKey::lkEnter);
        if (step == "space") return l.KeyPressed(TLabelKey::lkSpace);
        if (step == "other") return l.KeyPressed(TLabelKey::lkOther);
        if (step == "clamp") return l.ClampAnchorFocus() == 1;
        if (step == "keep") return l.KeepAnchorFocusShown(), true;
        return l.SetHTMLText(step), true;  // a new text
    };
    const struct {
        std::string_view Step;
        bool Returns;
        int Focused;
        std::vector<std::string> Activated = {};
    } steps[] = {
        // Without the focus nothing moves and the keys activate nothing.
        {"place", true, 1}, {"tab", false, 1}, {"enter", false, 1},
        {"focus", true, 1}, {"back", false, 1}, {"enter", true, 1, {"a"}}, {"space", true, 1, {"a"}}, {"other", false, 1},
        {"tab", true, 2}, {"tab", false, 2}, {"space", true, 2, {"open https://b.org"}}, {"back", true, 1},
        {"place last", true, 2},  // Shift+Tab enters at the last anchor
        // Fewer anchors: the focus no further than the last one.
        {"<A href=\"a\">one</A>", true, 2}, {"clamp", true, 1},
        // None: no anchor to place the focus on, and it stays where it was.
        {"plain", true, 1}, {"place", false, 1}, {"enter", false, 1}, {"clamp", false, 0},
        // Focus from elsewhere lands on the first anchor unless the focused
        // one is shown.
        {two, true, 0}, {"keep", true, 1}, {"tab", true, 2}, {"keep", true, 2}, {"plain", true, 2}, {"keep", true, 0},
    };
    c.HL.SetLinkOpener([&c](const std::string& t) { c.Clicks.push_back("open " + t); });
    for (const auto& s : steps) {
        c.Clicks.clear();
        EXPECT_EQ(run(s.Step), s.Returns) << s.Step << " " << &s - steps;
        EXPECT_EQ(c.HL.FocusedAnchor(), s.Focused) << s.Step << " " << &s - steps;
        EXPECT_EQ(c.Clicks, s.Activated) << s.Step << " " << &s - steps;
    }
    // Only the three moves by Tab are announced to the toolkit.
    EXPECT_EQ(c.HL.Log, (std::vector<std::string>(3, "focus moved")));
}

}  // namespace
}  // namespace qm

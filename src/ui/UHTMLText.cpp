#include "UHTMLText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

#include "UTextEncoding.h"

namespace qm {

namespace {

// Layout coordinates are 64-bit so that long texts, large fonts and large
// numbers in attributes cannot overflow; they are clamped to int when they
// reach the surface.
using TCoord = std::int64_t;

constexpr TCoord kCoordLimit = 1 << 30;  // layout stops beyond this height
constexpr int kNumberLimit = 1'000'000;  // attribute numbers are clamped to +-this
constexpr int kImageLimit = 32767;       // largest laid-out picture side
constexpr TCoord kTilesPerPaint = 100'000;  // background tiles drawn in one paint, all fills together

int ToInt(TCoord v) {
    return static_cast<int>(std::clamp<TCoord>(v, std::numeric_limits<int>::min() / 2,
                                               std::numeric_limits<int>::max() / 2));
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAlnumAscii(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string UpperCopy(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = UpperAscii(c);
    return r;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (UpperAscii(s[i]) != UpperAscii(prefix[i])) return false;
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// A decimal integer with optional sign and surrounding blanks; anything
// else counts as 0. The value is clamped to +-kNumberLimit.
int ParseNumber(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return 0;
    std::int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return 0;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), kNumberLimit);
    }
    return static_cast<int>(negative ? -value : value);
}

// ---------------------------------------------------------------- tags

// One tag: its name (upper case, without "/"), whether it closes, and its
// text between "<" and ">" for the attributes.
struct TTag {
    std::string Name;
    bool Closing = false;
    std::string_view Body;
    std::string Upper;  // Body in ASCII upper case, same byte offsets

    explicit TTag(std::string_view body) : Body(body), Upper(UpperCopy(body)) {
        std::size_t i = 0;
        if (i < body.size() && body[i] == '/') {
            Closing = true;
            ++i;
        }
        std::size_t start = i;
        while (i < body.size() && body[i] != ' ' && body[i] != '\t' && body[i] != '/') ++i;
        Name = Upper.substr(start, i - start);
    }

    bool Is(std::string_view name) const { return Name == name; }

    // The value of attribute `name` (upper case): the text between the next
    // two double quotes after "NAME =". The name must stand as a word of its
    // own, so "COLOR" is not found inside "BGCOLOR".
    std::optional<std::string_view> Attribute(std::string_view name) const {
        std::size_t from = 0;
        while ((from = Upper.find(name, from)) != std::string::npos) {
            std::size_t after = from + name.size();
            bool wordStart = from == 0 || !IsAlnumAscii(Upper[from - 1]);
            std::size_t eq = after;
            while (eq < Upper.size() && (Upper[eq] == ' ' || Upper[eq] == '\t')) ++eq;
            if (wordStart && eq < Upper.size() && Upper[eq] == '=') return QuotedAfter(eq);
            from = after;
        }
        return std::nullopt;
    }

    // The first double-quoted value in the tag, whatever its attribute.
    std::optional<std::string_view> FirstQuoted() const { return QuotedAfter(0); }

private:
    std::optional<std::string_view> QuotedAfter(std::size_t pos) const {
        std::size_t open = Body.find('"', pos);
        if (open == std::string_view::npos) return std::nullopt;
        std::size_t close = Body.find('"', open + 1);
        if (close == std::string_view::npos) return std::nullopt;
        return Body.substr(open + 1, close - open - 1);
    }
};

// ---------------------------------------------------------------- state

enum class TAlign { taLeft, taRight, taCenter };

// Everything a tag can change; carried from line to line.
struct TState {
    TFontSpec Font;
    TColor Background = clNone;  // text background, clNone: transparent
    TAlign Align = TAlign::taLeft;
    TCoord Indent = 0;
    int ListLevel = 0;
    int AnchorCount = 0;
    bool InAnchor = false;
    std::string Target;
    TColor AnchorSavedBackground = clNone;
    bool Shadow = false;
    bool Zigzag = false;
    bool Hidden = false;
    int Script = 0;  // -1 subscript, +1 superscript
    TColor ParaColor = clNone;
    TColor ParaColorTo = clNone;
    bool Highlight = false;
    TColor HighlightSavedColor = clBlack;
    TColor HighlightSavedBackground = clNone;
};

// ---------------------------------------------------------------- line items

struct TTextItem {
    TCoord X = 0;
    TCoord Width = 0;
    TCoord Height = 0;    // text height of the run's font
    TCoord Baseline = 0;  // bottom of the run relative to the line's baseline
    TCoord GhHeight = 0;
    TFontSpec Font;
    TPrefixText Text;
    TColor Color = clBlack;
    TColor Background = clNone;
    bool Shadow = false;
    bool Zigzag = false;
    int Anchor = 0;  // anchor index, 0 outside anchors
    std::string Target;
};

struct TImageItem {
    TCoord X = 0;
    TCoord Width = 0;
    TCoord Height = 0;
    TCoord Top = 0;  // relative to the line's baseline
    TImageRef Ref;
    int Frames = 1;
    int Anchor = 0;
    std::string Target;
};

struct TBulletItem {
    TCoord X = 0;
    TFontSpec Font;
    std::string Text;
    TCoord Height = 0;
};

struct TBodyFill {
    TColor Color = clNone;
    std::optional<TImageRef> Picture;
};

// One laid-out line: what to draw, relative to its left edge before
// alignment and its baseline.
struct TLine {
    std::vector<TTextItem> Texts;
    std::vector<TImageItem> Images;
    std::vector<TBulletItem> Bullets;
    std::vector<TBodyFill> BodyFills;
    TCoord Above = 0;
    TCoord Below = 0;
    TCoord Right = 0;  // end of the last item, a final space not counted
    TAlign Align = TAlign::taLeft;
    TColor ParaColor = clNone;
    TColor ParaColorTo = clNone;
    bool Rule = false;  // "<HR>"
    TCoord Height() const { return Above + Below; }
};

// Replaces "&nbsp;", "&lt;" and "&gt;" (any case) inside a text run.
std::string ReplaceRunEntities(std::string_view run) {
    if (run.find('&') == std::string_view::npos) return std::string(run);
    static constexpr std::array<std::pair<std::string_view, char>, 3> kRunEntities{{
        {"&nbsp;", ' '},
        {"&lt;", '<'},
        {"&gt;", '>'},
    }};
    std::string out;
    out.reserve(run.size());
    for (std::size_t i = 0; i < run.size();) {
        bool replaced = false;
        if (run[i] == '&') {
            for (const auto& [entity, ch] : kRunEntities) {
                if (StartsWithNoCase(run.substr(i), entity)) {
                    out += ch;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += run[i++];
    }
    return out;
}

int ResolveSize(int sizeAttribute) {
    // HTML font sizes 1..5 in points; any other number is taken as points.
    switch (sizeAttribute) {
        case 1: return 8;
        case 2: return 10;
        case 3: return 12;
        case 4: return 14;
        case 5: return 16;
        default: return sizeAttribute;
    }
}

class TEngine {
public:
    TEngine(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
            std::string_view text, bool wordWrap, const THTMLStyle& style)
        : S(surface), Base(baseFont), R(rect), Text(PrepareHTMLText(text)), WordWrap(wordWrap),
          Style(style) {
        Base.Size = std::clamp(Base.Size, 1, kMaxFontPoints);
    }

    int HoverIndex = 0;

    enum class TMode { tmMeasure, tmDraw, tmHitTest, tmAnchors };

    // tmHitTest fills `hit`, tmAnchors adds every anchor's runs to `anchors`.
    TTextExtent Run(TMode mode, TPoint hitPoint = {}, TAnchorHit* hit = nullptr,
                    std::vector<TAnchorHit>* anchors = nullptr) {
        TState st;
        st.Font = Base;
        TCoord y = R.Top;
        TCoord width = 0;
        std::size_t pos = 0;
        bool first = true;
        while (pos < Text.size() && y - R.Top < kCoordLimit) {
            TLine line;
            std::size_t end = LayoutLine(st, pos, line);
            // Drawing stops at the first line that does not fit, but the
            // first line is always drawn: a label whose first line is taller
            // than its text area (a larger font, another resolution) still
            // shows it, cut by the control's own clipping.
            if (mode != TMode::tmMeasure && !first && y + line.Height() > R.Bottom) break;
            first = false;
            TCoord shift = 0;
            if (line.Align == TAlign::taRight) shift = std::max<TCoord>(0, R.Right - line.Right);
            if (line.Align == TAlign::taCenter) shift = std::max<TCoord>(0, (R.Right - line.Right) / 2);
            if (mode == TMode::tmDraw) DrawLine(line, shift, y);
            if (mode == TMode::tmHitTest && hit && hit->Index == 0) HitLine(line, shift, y, hitPoint, *hit);
            if (mode == TMode::tmAnchors && anchors) CollectAnchors(line, shift, y, *anchors);
            width = std::max(width, line.Right - R.Left);
            y += line.Height();
            pos = end;
        }
        return {ToInt(std::max<TCoord>(0, width)), ToInt(y - R.Top)};
    }

private:
    THTMLSurface& S;
    TFontSpec Base;
    TRect R;
    std::string Text;
    bool WordWrap;
    THTMLStyle Style;
    TCoord TilesLeft = kTilesPerPaint;

    TCoord GhHeight(const TFontSpec& font) { return S.MeasureText(font, "gh").Height; }

    // Lays out one line from `pos`, updating `st`; returns where the next
    // line starts. Every line consumes at least one piece of text, so the
    // layout always ends.
    std::size_t LayoutLine(TState& st, std::size_t pos, TLine& line) {
        const TCoord lineStart = R.Left + st.Indent;
        TCoord x = lineStart;
        TCoord trailingSpace = 0;
        bool placedAny = false;
        bool lastEndsWithSpace = true;
        bool listItemOnLine = false;
        bool hasText = false;
        line.ParaColor = st.ParaColor;
        line.ParaColorTo = st.ParaColorTo;

        auto endLine = [&](std::size_t next) {
            line.Right = std::max(x - trailingSpace, lineStart);
            line.Align = st.Align;
            if (!hasText) line.Above = std::max(line.Above, GhHeight(st.Font));
            return next;
        };

        const std::size_t n = Text.size();
        while (pos < n) {
            if (Text[pos] == '<') {
                if (n - pos <= 2) return endLine(n);
                std::size_t close = Text.find('>', pos);
                if (close == std::string::npos) return endLine(n);  // unterminated tag: rest consumed
                TTag tag(std::string_view(Text).substr(pos + 1, close - pos - 1));
                std::size_t next = close + 1;
                const std::string& name = tag.Name;
                if (tag.Closing) {
                    if (name == "B") st.Font.Bold = false;
                    else if (name == "I") st.Font.Italic = false;
                    else if (name == "U") st.Font.Underline = false;
                    else if (name == "S") st.Font.StrikeOut = false;
                    else if (name == "A") {
                        st.InAnchor = false;
                        st.Target.clear();
                        st.Font.Underline = false;
                        st.Background = st.AnchorSavedBackground;
                        st.Font.Color = Base.Color;
                    } else if (name == "FONT") {
                        st.Font.Name = Base.Name;
                        st.Font.Size = Base.Size;
                        st.Font.Color = Base.Color;
                        st.Background = clNone;
                    } else if (name == "P") {
                        st.ParaColor = st.ParaColorTo = clNone;
                        return endLine(next);
                    } else if (name == "UL") {
                        if (st.ListLevel > 0) --st.ListLevel;
                        else st.Font.Underline = false;
                    } else if (name == "LI") {
                        return endLine(next);
                    } else if (name == "SUB" || name == "SUP") st.Script = 0;
                    else if (name == "SHAD") st.Shadow = false;
                    else if (name == "E") st.Zigzag = false;
                    else if (name == "HI") {
                        if (st.Highlight) {
                            st.Font.Color = st.HighlightSavedColor;
                            st.Background = st.HighlightSavedBackground;
                        }
                        st.Highlight = false;
                    } else if (name == "Z") st.Hidden = false;
                    else if (name == "R") st.Font.Orientation = 0;
                    pos = next;
                    continue;
                }
                if (name == "B") st.Font.Bold = true;
                else if (name == "I") st.Font.Italic = true;
                else if (name == "U") st.Font.Underline = true;
                else if (name == "S") st.Font.StrikeOut = true;
                else if (name == "A") OpenAnchor(st, tag);
                else if (name == "BR") return endLine(next);
                else if (name == "HR") {
                    line.Rule = true;
                    return endLine(next);
                } else if (name == "FONT") ApplyFont(st, tag);
                else if (name == "P") {
                    ApplyParagraph(st, tag, line);
                    x = std::max(x, R.Left + st.Indent);
                } else if (name == "BODY") {
                    TBodyFill fill;
                    if (auto c = tag.Attribute("BGCOLOR")) fill.Color = HTMLColorFromText(*c);
                    if (auto b = tag.Attribute("BACKGROUND")) fill.Picture = ImageRefFromSource(*b);
                    line.BodyFills.push_back(std::move(fill));
                } else if (name == "IMG") {
                    if (!PlaceImage(st, tag, line, x, placedAny)) return endLine(pos);
                    trailingSpace = 0;
                    lastEndsWithSpace = true;
                } else if (name == "IND") {
                    if (auto v = tag.Attribute("X")) x = std::max<TCoord>(x, TCoord{R.Left} + ParseNumber(*v));
                } else if (name == "UL") {
                    st.ListLevel = std::min(st.ListLevel + 1, kNumberLimit);
                    return endLine(next);
                } else if (name == "LI") {
                    if (listItemOnLine) return endLine(pos);
                    listItemOnLine = true;
                    TCoord textStart = lineStart + TCoord{kListIndent} * st.ListLevel;
                    if (st.ListLevel > 0 && !st.Hidden) {
                        TBulletItem bullet;
                        bullet.X = textStart - kListIndent;
                        bullet.Font = st.Font;
                        bullet.Font.Name = "Symbol";
                        bullet.Font.Underline = bullet.Font.StrikeOut = false;
                        // Symbol font character 183 is the bullet; even levels use "o".
                        bullet.Text = st.ListLevel % 2 == 1 ? "\xE2\x80\xA2" : "o";
                        bullet.Height = S.MeasureText(bullet.Font, bullet.Text).Height;
                        line.Above = std::max(line.Above, bullet.Height);
                        line.Bullets.push_back(std::move(bullet));
                    }
                    x = std::max(x, textStart);
                } else if (name == "SUB") st.Script = -1;
                else if (name == "SUP") st.Script = 1;
                else if (name == "SHAD") st.Shadow = true;
                else if (name == "E") st.Zigzag = true;
                else if (name == "HI") {
                    if (!st.Highlight) {
                        st.HighlightSavedColor = st.Font.Color;
                        st.HighlightSavedBackground = st.Background;
                    }
                    st.Highlight = true;
                    st.Font.Color = SystemColor(kColorHighlightText);
                    st.Background = SystemColor(kColorHighlight);
                } else if (name == "Z") st.Hidden = true;
                else if (name == "R") {
                    if (auto a = tag.Attribute("A")) st.Font.Orientation = ParseNumber(*a) % 360;
                }
                pos = next;
                continue;
            }

            // A run of text: up to the next tag, with word wrap also up to
            // and including the next space.
            std::size_t end = std::min(Text.find('<', pos), n);
            if (WordWrap) {
                std::size_t space = Text.find(' ', pos);
                if (space != std::string::npos && space < end) end = space + 1;
            }
            if (st.Hidden) {
                pos = end;
                continue;
            }
            TTextItem item;
            item.Text = ResolvePrefixMarks(ReplaceRunEntities(std::string_view(Text).substr(pos, end - pos)));
            item.Font = st.Font;
            TSize size = S.MeasureText(item.Font, item.Text.Text);
            item.Width = size.Width;
            item.Height = size.Height;
            if (WordWrap && placedAny && x + item.Width > R.Right && item.Width <= R.Width() &&
                lastEndsWithSpace)
                return endLine(pos);
            item.X = x;
            item.Color = st.Font.Color;
            item.Background = st.Background;
            item.Shadow = st.Shadow;
            item.Zigzag = st.Zigzag;
            item.GhHeight = GhHeight(st.Font);
            if (st.InAnchor) {
                item.Anchor = st.AnchorCount;
                item.Target = st.Target;
            }
            // Sub- and superscripts add a quarter of the text height below or
            // above: the run moves down or up by it, and the line keeps the
            // run's full height above its baseline as well.
            TCoord quarter = item.Height / 4;
            item.Baseline = st.Script < 0 ? quarter : (st.Script > 0 ? -quarter : 0);
            line.Above = std::max(line.Above, item.Height + std::max<TCoord>(0, -item.Baseline));
            line.Below = std::max(line.Below, std::max<TCoord>(0, item.Baseline));
            x += item.Width;
            lastEndsWithSpace = !item.Text.Text.empty() && item.Text.Text.back() == ' ';
            trailingSpace = lastEndsWithSpace ? S.MeasureText(item.Font, " ").Width : 0;
            placedAny = true;
            hasText = hasText || !item.Text.Text.empty();
            line.Texts.push_back(std::move(item));
            pos = end;
        }
        return endLine(n);
    }

    void OpenAnchor(TState& st, const TTag& tag) {
        if (!st.InAnchor) st.AnchorSavedBackground = st.Background;
        st.InAnchor = true;
        st.AnchorCount = std::min(st.AnchorCount + 1, std::numeric_limits<int>::max() - 1);
        st.Target = std::string(tag.FirstQuoted().value_or(""));
        bool hovered = Style.Hover && st.AnchorCount == HoverIndex;
        st.Font.Underline = !Style.Hover || hovered;
        st.Font.Color = (hovered && Style.HoverFontColor != clNone) ? Style.HoverFontColor : Style.URLColor;
        if ((!Style.Hover || hovered) && Style.HoverColor != clNone) st.Background = Style.HoverColor;
    }

    void ApplyFont(TState& st, const TTag& tag) {
        if (auto face = tag.Attribute("FACE")) st.Font.Name = std::string(*face);
        if (auto color = tag.Attribute("COLOR")) st.Font.Color = HTMLColorFromText(*color);
        if (auto bg = tag.Attribute("BGCOLOR")) st.Background = HTMLColorFromText(*bg);
        if (auto size = tag.Attribute("SIZE")) {
            // Sizes below one point cannot be drawn and keep the current size.
            int points = ResolveSize(ParseNumber(*size));
            if (points >= 1) st.Font.Size = std::min(points, kMaxFontPoints);
        }
    }

    void ApplyParagraph(TState& st, const TTag& tag, TLine& line) {
        if (auto align = tag.Attribute("ALIGN")) {
            if (EqualsNoCase(*align, "LEFT")) st.Align = TAlign::taLeft;
            else if (EqualsNoCase(*align, "RIGHT")) st.Align = TAlign::taRight;
            else if (EqualsNoCase(*align, "CENTER")) st.Align = TAlign::taCenter;
        }
        if (auto indent = tag.Attribute("INDENT")) st.Indent = std::max(0, ParseNumber(*indent));
        if (auto bg = tag.Attribute("BGCOLOR")) {
            st.ParaColor = HTMLColorFromText(*bg);
            auto to = tag.Attribute("BGCOLORTO");
            st.ParaColorTo = to ? HTMLColorFromText(*to) : clNone;
            line.ParaColor = st.ParaColor;
            line.ParaColorTo = st.ParaColorTo;
        }
    }

    // Places an inline picture; false when it does not fit and the line must
    // end before it. A picture that cannot be found takes no space.
    bool PlaceImage(const TState& st, const TTag& tag, TLine& line, TCoord& x, bool& placedAny) {
        if (st.Hidden) return true;
        auto source = tag.Attribute("SRC");
        if (!source) return true;
        auto ref = ImageRefFromSource(*source);
        if (!ref) return true;
        auto info = S.ImageInfo(*ref);
        if (!info) return true;
        const TCoord ppi = std::clamp(S.PixelsPerInch(), 24, 960);
        int w = tag.Attribute("WIDTH") ? ParseNumber(*tag.Attribute("WIDTH")) : 0;
        int h = tag.Attribute("HEIGHT") ? ParseNumber(*tag.Attribute("HEIGHT")) : 0;
        TCoord width = info->Size.Width;
        TCoord height = info->Size.Height;
        if (w > 0 && h > 0) {
            width = w * ppi / 96;
            height = h * ppi / 96;
        } else if (ref->Kind != TImageKind::ikStore && ref->Kind != TImageKind::ikAddress) {
            width = width * ppi / 96;
            height = height * ppi / 96;
        }
        width = std::clamp<TCoord>(width, 0, kImageLimit);
        height = std::clamp<TCoord>(height, 0, kImageLimit);
        if (WordWrap && placedAny && x + width > R.Right) return false;

        TImageItem item;
        item.X = x;
        item.Width = width;
        item.Height = height;
        item.Ref = *ref;
        item.Frames = info->Frames;
        if (st.InAnchor) {
            item.Anchor = st.AnchorCount;
            item.Target = st.Target;
        }
        // ALIGN TOP puts the text's top, MIDDLE the text's baseline at the
        // image's top or middle; otherwise the image stands on the baseline.
        TCoord textHeight = GhHeight(st.Font);
        auto align = tag.Attribute("ALIGN");
        if (align && EqualsNoCase(*align, "TOP")) item.Top = -textHeight;
        else if (align && EqualsNoCase(*align, "MIDDLE")) item.Top = -height / 2;
        else item.Top = -height;
        line.Above = std::max(line.Above, -item.Top);
        line.Below = std::max(line.Below, height + item.Top);
        x += width;
        placedAny = true;
        line.Images.push_back(std::move(item));
        return true;
    }

    TRect MakeRect(TCoord l, TCoord t, TCoord r, TCoord b) const {
        return {ToInt(l), ToInt(t), ToInt(r), ToInt(b)};
    }

    void DrawLine(const TLine& line, TCoord shift, TCoord top) {
        const TCoord bottom = top + line.Height();
        const TCoord baseline = top + line.Above;
        for (const TBodyFill& fill : line.BodyFills) {
            if (fill.Color != clNone) S.FillRect(R, fill.Color);
            if (fill.Picture && S.ImageInfo(*fill.Picture)) {
                // Tiled over the rectangle; the surface clips to it.
                S.SetClip(R);
                auto info = S.ImageInfo(*fill.Picture);
                TileImage(*fill.Picture, info->Size);
                S.ResetClip();
            }
        }
        if (line.ParaColor != clNone) {
            TRect band = MakeRect(R.Left, top, R.Right, bottom);
            if (line.ParaColorTo != clNone) S.FillGradient(band, line.ParaColor, line.ParaColorTo, kGradientSteps);
            else S.FillRect(band, line.ParaColor);
        }
        for (const TBulletItem& b : line.Bullets)
            S.DrawText(b.Font, {ToInt(b.X + shift), ToInt(baseline - b.Height)}, b.Text, b.Font.Color, {});
        for (const TImageItem& img : line.Images) {
            TRect dest = MakeRect(img.X + shift, baseline + img.Top, img.X + shift + img.Width,
                                  baseline + img.Top + img.Height);
            if (img.Frames > 1) S.FillRect(dest, Style.BackgroundColor);
            S.DrawImage(img.Ref, dest);
        }
        for (const TTextItem& t : line.Texts) DrawRun(t, shift, baseline);
        if (line.Rule) S.DrawLine({R.Left, ToInt(bottom - 1)}, {R.Right - 1, ToInt(bottom - 1)}, clBlack, 1);
    }

    // Tiles a picture over R, starting at its top-left corner. One paint
    // draws at most kTilesPerPaint tiles over all its background fills (a
    // text may repeat "<BODY BACKGROUND>" on every line): a fill that would
    // go beyond what is left is not drawn, so tiny pictures are not tiled
    // over huge rectangles either.
    void TileImage(const TImageRef& ref, TSize size) {
        if (size.Width <= 0 || size.Height <= 0) return;
        const TCoord tiles = TCoord{(R.Width() + size.Width - 1) / size.Width} *
                             ((R.Height() + size.Height - 1) / size.Height);
        if (tiles > TilesLeft) return;
        TilesLeft -= tiles;
        for (TCoord y = R.Top; y < R.Bottom; y += size.Height)
            for (TCoord x = R.Left; x < R.Right; x += size.Width)
                S.DrawImage(ref, MakeRect(x, y, x + size.Width, y + size.Height));
    }

    void DrawRun(const TTextItem& t, TCoord shift, TCoord baseline) {
        const TCoord x = t.X + shift;
        const TCoord bottom = baseline + t.Baseline;
        const TCoord top = bottom - t.Height;
        std::string cut;
        std::string_view text = t.Text.Text;
        auto underlined = t.Text.Underlined;
        TCoord width = t.Width;
        if (!WordWrap && x + t.Width > R.Right) {
            // Without word wrap the line is cut with an ellipsis at the right edge.
            if (x >= R.Right) return;
            std::size_t kept = FitWithEllipsis(S, t.Font, text, ToInt(R.Right - x), cut);
            std::erase_if(underlined, [kept](const auto& r) { return r.second > kept; });
            text = cut;
            width = S.MeasureText(t.Font, text).Width;
        }
        if (t.Background != clNone) S.FillRect(MakeRect(x, top, x + width, bottom), t.Background);
        const TPoint at{ToInt(x), ToInt(top)};
        if (t.Shadow)
            S.DrawText(t.Font, {at.X + Style.ShadowOffset, at.Y + Style.ShadowOffset}, text,
                       Style.ShadowColor, underlined);
        S.DrawText(t.Font, at, text, t.Color, underlined);
        if (t.Zigzag) {
            // Red zigzag under the run: 2-pixel steps, 1-pixel pen, counted
            // from the run's left edge. Only the steps that reach into R are
            // drawn: a run of one long word in a large font can be far wider
            // than the label.
            const int y0 = ToInt(bottom - 1);
            const TCoord firstStep = x < R.Left ? x + (R.Left - x) / 2 * 2 : x;
            for (TCoord zx = firstStep; zx + 2 <= x + width && zx < R.Right; zx += 2) {
                bool up = ((zx - x) / 2) % 2 == 0;
                S.DrawLine({ToInt(zx), up ? y0 : y0 - 2}, {ToInt(zx + 2), up ? y0 - 2 : y0}, clRed, 1);
            }
        }
    }

    void CollectAnchors(const TLine& line, TCoord shift, TCoord top, std::vector<TAnchorHit>& anchors) {
        const TCoord bottom = top + line.Height();
        const TCoord baseline = top + line.Above;
        for (const TTextItem& t : line.Texts) {
            if (t.Anchor != 0)
                anchors.push_back({t.Target, t.Anchor, MakeRect(t.X + shift, top, t.X + shift + t.Width, bottom), t.Text.Text});
        }
        for (const TImageItem& img : line.Images) {
            if (img.Anchor != 0)
                anchors.push_back({img.Target, img.Anchor,
                                   MakeRect(img.X + shift, baseline + img.Top, img.X + shift + img.Width,
                                            baseline + img.Top + img.Height),
                                   {}});
        }
    }

    void HitLine(const TLine& line, TCoord shift, TCoord top, TPoint p, TAnchorHit& hit) {
        const TCoord bottom = top + line.Height();
        const TCoord baseline = top + line.Above;
        for (const TTextItem& t : line.Texts) {
            if (t.Anchor == 0) continue;
            TCoord left = t.X + shift;
            if (p.X >= left && p.X < left + t.Width && p.Y >= bottom - t.GhHeight && p.Y < bottom) {
                hit = {t.Target, t.Anchor, MakeRect(left, top, left + t.Width, bottom), t.Text.Text};
                return;
            }
        }
        for (const TImageItem& img : line.Images) {
            if (img.Anchor == 0) continue;
            TRect r = MakeRect(img.X + shift, baseline + img.Top, img.X + shift + img.Width,
                               baseline + img.Top + img.Height);
            if (r.Contains(p)) {
                hit = {img.Target, img.Anchor, r, {}};
                return;
            }
        }
    }
};

// The entities of text preparation, replaced by the Windows-1252 character
// of the same name (here in UTF-8).
//   entity      replacement
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kEntities{{
    {"&amp;", "&&"},
    {"&quot;", "\""},
    {"&sect;", "\xC2\xA7"},
    {"&permil;", "\xE2\x80\xB0"},
    {"&reg;", "\xC2\xAE"},
    {"&copy;", "\xC2\xA9"},
    {"&para;", "\xC2\xB6"},
    {"&trade;", "\xE2\x84\xA2"},
    {"&euro;", "\xE2\x82\xAC"},
}};

// Colour names and their values; the system colours carry their Windows
// system colour index (GetSysColor) with the 0x80000000 flag.
//   name                     value
constexpr std::array<std::pair<std::string_view, TColor>, 40> kColorNames{{
    {"clred", clRed},
    {"clblack", clBlack},
    {"clblue", clBlue},
    {"clgreen", clGreen},
    {"claqua", clAqua},
    {"clyellow", clYellow},
    {"clfuchsia", clFuchsia},
    {"clwhite", clWhite},
    {"cllime", clLime},
    {"clsilver", clSilver},
    {"clgray", clGray},
    {"clolive", clOlive},
    {"clnavy", clNavy},
    {"clpurple", clPurple},
    {"clteal", clTeal},
    {"clmaroon", clMaroon},
    {"clbackground", SystemColor(1)},
    {"clactivecaption", SystemColor(2)},
    {"clinactivecaption", SystemColor(3)},
    {"clmenu", SystemColor(4)},
    {"clwindow", SystemColor(5)},
    {"clwindowframe", SystemColor(6)},
    {"clmenutext", SystemColor(7)},
    {"clwindowtext", SystemColor(8)},
    {"clcaptiontext", SystemColor(9)},
    {"clactiveborder", SystemColor(10)},
    {"clinactiveborder", SystemColor(11)},
    {"clappworkspace", SystemColor(12)},
    {"clhighlight", SystemColor(13)},
    {"clhighlighttext", SystemColor(14)},
    {"clbtnface", SystemColor(15)},
    {"clbtnshadow", SystemColor(16)},
    {"clgraytext", SystemColor(17)},
    {"clbtntext", SystemColor(18)},
    {"clinactivecaptiontext", SystemColor(19)},
    {"clbtnhighlight", SystemColor(20)},
    {"cl3ddkshadow", SystemColor(21)},
    {"cl3dlight", SystemColor(22)},
    {"clinfotext", SystemColor(23)},
    {"clinfobk", SystemColor(24)},
}};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::vector<std::pair<TRect, TColor>> GradientBands(const TRect& rect, TColor from, TColor to, int steps) {
    std::vector<std::pair<TRect, TColor>> bands;
    if (rect.Empty()) return bands;
    steps = std::max(steps, 1);
    const std::int64_t w = rect.Width();
    for (int i = 0; i < steps; ++i) {
        int left = rect.Left + static_cast<int>(w * i / steps);
        int right = rect.Left + static_cast<int>(w * (i + 1) / steps);
        if (right <= left) continue;
        auto mix = [&](int a, int b) { return steps == 1 ? a : a + (b - a) * i / (steps - 1); };
        TColor c = ColorRGB(mix(RedOf(from), RedOf(to)), mix(GreenOf(from), GreenOf(to)),
                       mix(BlueOf(from), BlueOf(to)));
        bands.push_back({{left, rect.Top, right, rect.Bottom}, c});
    }
    return bands;
}

std::string PrepareHTMLText(std::string_view text) {
    std::string s;
    if (text.find('&') != std::string_view::npos) {
        // Replacing until no entity is left is the same as one scan that
        // looks again at the second "&" that "&amp;" leaves: entities start
        // with "&" and hold no other "&", so no other replacement can form
        // a new entity.
        s.reserve(text.size());
        std::size_t i = 0;
        std::string pending(text);
        while (i < pending.size()) {
            bool replaced = false;
            if (pending[i] == '&') {
                for (const auto& [entity, replacement] : kEntities) {
                    if (StartsWithNoCase(std::string_view(pending).substr(i), entity)) {
                        if (entity == "&amp;") {
                            // Emit the first "&" and scan on from the second,
                            // which takes the place of the ";".
                            s += '&';
                            i += entity.size() - 1;
                            pending[i] = '&';
                        } else {
                            s += replacement;
                            i += entity.size();
                        }
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced) s += pending[i++];
        }
    } else {
        s = text;
    }

    if (std::size_t hash = s.find("<#"); hash != std::string::npos) {
        s.erase(hash, 1);
        if (std::size_t gt = s.find('>', hash); gt != std::string::npos) s.erase(gt, 1);
    }

    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\n') continue;
        if (c == '\r') out += "<BR>";
        else out += c;
    }
    return out;
}

TColor HTMLColorFromText(std::string_view text) {
    if (text.size() == 7 && text[0] == '#') {
        int v[6];
        bool ok = true;
        for (int i = 0; i < 6; ++i) ok = ok && (v[i] = HexDigit(text[1 + i])) >= 0;
        if (ok) return ColorRGB(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
    }
    for (const auto& [name, color] : kColorNames)
        if (EqualsNoCase(text, name)) return color;
    return clBlack;
}

std::string StripHTMLTags(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '<') {
            out += text[i++];
            continue;
        }
        std::size_t close = text.find('>', i);
        if (close == std::string_view::npos) break;
        TTag tag(text.substr(i + 1, close - i - 1));
        if (!tag.Closing && (tag.Is("BR") || tag.Is("HR"))) out += '\n';
        i = close + 1;
    }
    return out;
}

TPrefixText ResolvePrefixMarks(std::string_view text) {
    TPrefixText r;
    r.Text.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            r.Text += text[i++];
            continue;
        }
        if (i + 1 >= text.size()) break;
        if (text[i + 1] == '&') {
            r.Text += '&';
            i += 2;
            continue;
        }
        std::size_t len = DecodeUtf8Char(text.substr(i + 1)).Length;
        r.Underlined.emplace_back(r.Text.size(), r.Text.size() + len);
        r.Text.append(text.substr(i + 1, len));
        i += 1 + len;
    }
    return r;
}

std::optional<TImageRef> ImageRefFromSource(std::string_view source) {
    if (StartsWithNoCase(source, "IDX:")) return TImageRef{TImageKind::ikList, ParseNumber(source.substr(4)), {}};
    if (StartsWithNoCase(source, "SSYS:"))
        return TImageRef{TImageKind::ikSmallFileIcon, 0, std::string(source.substr(5))};
    if (StartsWithNoCase(source, "LSYS:"))
        return TImageRef{TImageKind::ikLargeFileIcon, 0, std::string(source.substr(5))};
    if (source.find("://") != std::string_view::npos)
        return TImageRef{TImageKind::ikAddress, 0, std::string(source)};
    if (!source.empty() && source.find(':') == std::string_view::npos)
        return TImageRef{TImageKind::ikStore, 0, std::string(source)};
    return std::nullopt;
}

std::size_t FitWithEllipsis(THTMLSurface& surface, const TFontSpec& font, std::string_view text,
                            int maxWidth, std::string& out) {
    if (surface.MeasureText(font, text).Width <= maxWidth) {
        out = text;
        return text.size();
    }
    // Character boundaries, then a binary search for the longest prefix
    // that fits with the ellipsis (widths grow with the prefix).
    std::vector<std::size_t> cuts{0};
    for (std::size_t i = 0; i < text.size();) {
        i += DecodeUtf8Char(text.substr(i)).Length;
        cuts.push_back(i);
    }
    auto fits = [&](std::size_t k) {
        std::string candidate(text.substr(0, cuts[k]));
        candidate += kEllipsis;
        return surface.MeasureText(font, candidate).Width <= maxWidth;
    };
    if (!fits(0)) {
        out.clear();
        return 0;
    }
    std::size_t lo = 0, hi = cuts.size() - 1;  // fits(lo) holds
    while (lo < hi) {
        std::size_t mid = (lo + hi + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    out = std::string(text.substr(0, cuts[lo])) + std::string(kEllipsis);
    return cuts[lo];
}

TTextExtent DrawHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                         std::string_view text, bool measureOnly, bool wordWrap,
                         std::optional<TPoint> mouse, const THTMLStyle& style) {
    TEngine engine(surface, baseFont, rect, text, wordWrap, style);
    if (measureOnly) return engine.Run(TEngine::TMode::tmMeasure);
    if (style.Hover && mouse) {
        TAnchorHit hit;
        engine.Run(TEngine::TMode::tmHitTest, *mouse, &hit);
        engine.HoverIndex = hit.Index;
    }
    return engine.Run(TEngine::TMode::tmDraw);
}

TAnchorHit HitTestHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                           std::string_view text, TPoint point, bool wordWrap, const THTMLStyle& style) {
    TEngine engine(surface, baseFont, rect, text, wordWrap, style);
    TAnchorHit hit;
    engine.Run(TEngine::TMode::tmHitTest, point, &hit);
    return hit;
}

std::vector<TAnchorHit> AnchorsOfHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                                          std::string_view text, bool wordWrap, const THTMLStyle& style) {
    TEngine engine(surface, baseFont, rect, text, wordWrap, style);
    std::vector<TAnchorHit> anchors;
    engine.Run(TEngine::TMode::tmAnchors, {}, nullptr, &anchors);
    return anchors;
}

}  // namespace qm

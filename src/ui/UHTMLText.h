// Text engine of the caption label: lays out and draws a small subset of
// HTML line by line inside a rectangle of a drawing surface, and finds the
// link ("anchor") under a point. Pure C++; all drawing goes through
// THTMLSurface.
//
// Tags (names in any case): B I U S A BR HR FONT(FACE COLOR BGCOLOR SIZE)
// P(ALIGN INDENT BGCOLOR BGCOLORTO) BODY(BACKGROUND BGCOLOR)
// IMG(SRC WIDTH HEIGHT ALIGN) IND(X) UL LI SUB SUP SHAD E HI Z R(A),
// with their closing forms. Unknown tags are skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UHTMLSurface.h"

namespace qm {

// The label's settings that the engine reads.
struct THTMLStyle {
    TColor URLColor = clBlue;
    TColor ShadowColor = clGray;
    int ShadowOffset = 2;
    TColor HoverColor = clNone;
    TColor HoverFontColor = clNone;
    bool Hover = false;
    // The label's colour: the background drawn behind multi-frame pictures.
    TColor BackgroundColor = SystemColor(kColorBtnFace);
};

// Width and height of the laid-out text in pixels (both >= 0).
struct TTextExtent {
    int Width = 0;
    int Height = 0;
    bool operator==(const TTextExtent&) const = default;
};

// An anchor found under a point. Index counts anchors from 1 in text order;
// 0 (with an empty Target) means no anchor. Rect is the run or image hit,
// Text the run's visible text (empty for a picture).
struct TAnchorHit {
    std::string Target;
    int Index = 0;
    TRect Rect;
    std::string Text;
};

// Lays out `text` (the raw label text, prepared here with PrepareHTMLText)
// in `rect` starting from `baseFont`. With measureOnly nothing is drawn and
// every line is laid out; otherwise lines are drawn until the text is used
// up or the next line would not fit above rect.Bottom, except the first
// line, which is always drawn (when taller than `rect` it reaches below
// rect.Bottom, and the surface's clipping to the control cuts it). wordWrap
// false keeps each line on one line and cuts the drawn text with an
// ellipsis. `mouse` (only used with style.Hover) picks the hovered anchor.
// The work of one call is bounded: background tiles by a limit for all
// fills together, zigzag underlines by `rect`'s width.
TTextExtent DrawHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                         std::string_view text, bool measureOnly, bool wordWrap,
                         std::optional<TPoint> mouse, const THTMLStyle& style);

// Lays `text` out as DrawHTMLText draws it (same stopping rule) without
// drawing and returns the anchor under `point`, if any.
TAnchorHit HitTestHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                           std::string_view text, TPoint point, bool wordWrap,
                           const THTMLStyle& style);

// Every anchor as DrawHTMLText lays it out (same stopping rule), in text
// order: one entry per text run or picture of an anchor, so an anchor cut
// into several runs or lines appears once per piece with the same Index.
// For keyboard focus on links: which anchors there are and where.
std::vector<TAnchorHit> AnchorsOfHTMLText(THTMLSurface& surface, const TFontSpec& baseFont, const TRect& rect,
                                          std::string_view text, bool wordWrap, const THTMLStyle& style);

// Text preparation before layout: entities (&amp; &quot; &sect; &permil;
// &reg; &copy; &para; &trade; &euro;, any case, replaced until none is
// left; "&amp;" becomes "&&", the escaped prefix mark), the first "<#"
// loses its "<" and the next ">", line feeds are removed and each carriage
// return becomes "<BR>".
std::string PrepareHTMLText(std::string_view text);

// A colour value: "#RRGGBB" (hex digits in either case) or a colour name
// such as "clRed" or "clBtnFace" (any case); anything else is black.
TColor HTMLColorFromText(std::string_view text);

// The text with "<BR>" and "<HR>" turned into line breaks ("\n") and every
// other tag removed; used for plain-text hints.
std::string StripHTMLTags(std::string_view text);

// Resolves the prefix marks of platform text drawing: "&&" shows one "&",
// a single "&" is hidden and underlines the character after it (a final
// lone "&" is dropped). Underlined holds byte ranges into Text.
struct TPrefixText {
    std::string Text;
    std::vector<std::pair<std::size_t, std::size_t>> Underlined;
};
TPrefixText ResolvePrefixMarks(std::string_view text);

// The picture an "<IMG SRC>" value names: "IDX:n" the image list, "SSYS:"
// / "LSYS:" a file type's icon, an address holding "://" the picture
// cache, any other value without ":" the picture store. Nothing for other
// values (e.g. "C:\x.png").
std::optional<TImageRef> ImageRefFromSource(std::string_view source);

// `text` cut at a character boundary and ended with "…" so that it fits in
// `maxWidth` pixels in `font` (unchanged when it fits; "" when not even
// "…" fits). Returns the number of bytes of `text` kept.
std::size_t FitWithEllipsis(THTMLSurface& surface, const TFontSpec& font, std::string_view text,
                            int maxWidth, std::string& out);

// Pixels of indent per list level and the width of a bullet's box.
inline constexpr int kListIndent = 12;
// Bands of a paragraph's gradient background.
inline constexpr int kGradientSteps = 64;
// The ellipsis appended to cut lines.
inline constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

}  // namespace qm

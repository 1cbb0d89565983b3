// The caption label's properties, the same in every toolkit: the markup,
// sizing, frame and colours. Each toolkit's label derives from this and
// repaints when a property changes.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "UColor.h"
#include "UHTMLText.h"
#include "UStringList.h"

namespace qm {

enum class TAutoSizeType { asVertical, asHorizontal, asBoth };
enum class TVAlignment { tvaTop, tvaCenter, tvaBottom };
enum class TLabelBorderStyle { bsNone, bsSingle };
enum class TBevelCut { bvNone, bvLowered, bvRaised };
// How the parent docks the label; AutoSizing only changes the dimension
// that this leaves free (height for none/top/bottom, width for
// none/left/right).
enum class TControlAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TMarkupLabelProperties {
public:
    TMarkupLabelProperties(const TMarkupLabelProperties&) = delete;
    TMarkupLabelProperties& operator=(const TMarkupLabelProperties&) = delete;

    // The source lines; the text laid out is all lines joined with nothing
    // between them. Setting it clears the picture cache and repaints.
    const TStringList& HTMLText() const noexcept { return FHTMLText; }
    void SetHTMLText(const TStringList& lines);
    // Convenience: the lines of `text` (split at CR LF, LF or CR).
    void SetHTMLText(std::string_view text);
    // Convenience: `lines`, one source line each.
    void SetHTMLText(std::span<const std::string> lines);
    // All lines joined without separators, as painted.
    std::string JoinedText() const;

    bool AutoSizing() const noexcept { return FAutoSizing; }
    void SetAutoSizing(bool value);
    TAutoSizeType AutoSizeType() const noexcept { return FAutoSizeType; }
    void SetAutoSizeType(TAutoSizeType value);
    TControlAlign Align() const noexcept { return FAlign; }
    void SetAlign(TControlAlign value);
    bool Ellipsis() const noexcept { return FEllipsis; }
    void SetEllipsis(bool value);
    TVAlignment VAlignment() const noexcept { return FVAlignment; }
    void SetVAlignment(TVAlignment value);
    // Margin in pixels (>= 0) inside the bevels, painted in the label's colour.
    int BorderWidth() const noexcept { return FBorderWidth; }
    void SetBorderWidth(int value);
    TLabelBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(TLabelBorderStyle value);
    TBevelCut BevelInner() const noexcept { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const noexcept { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    // Width of each bevel in pixels (>= 1).
    int BevelWidth() const noexcept { return FBevelWidth; }
    void SetBevelWidth(int value);

    TColor URLColor() const noexcept { return FStyle.URLColor; }
    void SetURLColor(TColor value);
    TColor ShadowColor() const noexcept { return FStyle.ShadowColor; }
    void SetShadowColor(TColor value);
    int ShadowOffset() const noexcept { return FStyle.ShadowOffset; }
    void SetShadowOffset(int value);
    bool Hover() const noexcept { return FStyle.Hover; }
    void SetHover(bool value);
    TColor HoverColor() const noexcept { return FStyle.HoverColor; }
    void SetHoverColor(TColor value);
    TColor HoverFontColor() const noexcept { return FStyle.HoverFontColor; }
    void SetHoverFontColor(TColor value);
    // The label's colour (background and border margin), default clBtnFace.
    TColor Color() const noexcept { return FStyle.BackgroundColor; }
    void SetColor(TColor value);
    // Colour of the base font, default clWindowText.
    TColor FontColor() const noexcept { return FFontColor; }
    void SetFontColor(TColor value);
    bool Transparent() const noexcept { return FTransparent; }
    void SetTransparent(bool value);

    bool AnchorHint() const noexcept { return FAnchorHint; }
    void SetAnchorHint(bool value);
    bool HintShowFull() const noexcept { return FHintShowFull; }
    void SetHintShowFull(bool value);
    bool HTMLHint() const noexcept { return FHTMLHint; }
    void SetHTMLHint(bool value) { FHTMLHint = value; }

protected:
    TMarkupLabelProperties() = default;
    virtual ~TMarkupLabelProperties() = default;

    // A property that affects the painting changed: lay out and repaint.
    virtual void Changed() = 0;
    // New markup was set, before Changed: pictures loaded for the old one
    // may be dropped.
    virtual void HTMLTextReplaced() {}
    // AnchorHint or HintShowFull changed (no repaint needed).
    virtual void HintsChanged() {}

    TStringList FHTMLText;
    bool FAutoSizing = false;
    TAutoSizeType FAutoSizeType = TAutoSizeType::asVertical;
    TControlAlign FAlign = TControlAlign::alNone;
    bool FEllipsis = false;
    TVAlignment FVAlignment = TVAlignment::tvaTop;
    int FBorderWidth = 0;
    TLabelBorderStyle FBorderStyle = TLabelBorderStyle::bsNone;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    TBevelCut FBevelOuter = TBevelCut::bvNone;
    int FBevelWidth = 1;
    THTMLStyle FStyle;
    TColor FFontColor = SystemColor(8);  // clWindowText
    bool FTransparent = false;
    bool FAnchorHint = false;
    bool FHintShowFull = false;
    bool FHTMLHint = false;
};

}  // namespace qm

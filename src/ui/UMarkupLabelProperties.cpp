#include "UMarkupLabelProperties.h"

#include <algorithm>

namespace qm {

void TMarkupLabelProperties::SetHTMLText(const TStringList& lines) {
    FHTMLText = lines;
    HTMLTextReplaced();
    Changed();
}

void TMarkupLabelProperties::SetHTMLText(std::span<const std::string> lines) {
    TStringList list;
    for (const std::string& line : lines) list.Add(line);
    SetHTMLText(list);
}

void TMarkupLabelProperties::SetHTMLText(std::string_view text) {
    TStringList lines;
    lines.SetText(text);
    SetHTMLText(lines);
}

std::string TMarkupLabelProperties::JoinedText() const { return FHTMLText.Text(""); }

void TMarkupLabelProperties::SetAutoSizing(bool value) { FAutoSizing = value; Changed(); }
void TMarkupLabelProperties::SetAutoSizeType(TAutoSizeType value) { FAutoSizeType = value; Changed(); }
void TMarkupLabelProperties::SetAlign(TControlAlign value) { FAlign = value; Changed(); }
void TMarkupLabelProperties::SetEllipsis(bool value) { FEllipsis = value; Changed(); }
void TMarkupLabelProperties::SetVAlignment(TVAlignment value) { FVAlignment = value; Changed(); }
void TMarkupLabelProperties::SetBorderWidth(int value) { FBorderWidth = std::max(0, value); Changed(); }
void TMarkupLabelProperties::SetBorderStyle(TLabelBorderStyle value) { FBorderStyle = value; Changed(); }
void TMarkupLabelProperties::SetBevelInner(TBevelCut value) { FBevelInner = value; Changed(); }
void TMarkupLabelProperties::SetBevelOuter(TBevelCut value) { FBevelOuter = value; Changed(); }
void TMarkupLabelProperties::SetBevelWidth(int value) { FBevelWidth = std::max(1, value); Changed(); }
void TMarkupLabelProperties::SetURLColor(TColor value) { FStyle.URLColor = value; Changed(); }
void TMarkupLabelProperties::SetShadowColor(TColor value) { FStyle.ShadowColor = value; Changed(); }
void TMarkupLabelProperties::SetShadowOffset(int value) { FStyle.ShadowOffset = value; Changed(); }
void TMarkupLabelProperties::SetHover(bool value) { FStyle.Hover = value; Changed(); }
void TMarkupLabelProperties::SetHoverColor(TColor value) { FStyle.HoverColor = value; Changed(); }
void TMarkupLabelProperties::SetHoverFontColor(TColor value) { FStyle.HoverFontColor = value; Changed(); }
void TMarkupLabelProperties::SetColor(TColor value) { FStyle.BackgroundColor = value; Changed(); }
void TMarkupLabelProperties::SetFontColor(TColor value) { FFontColor = value; Changed(); }
void TMarkupLabelProperties::SetTransparent(bool value) { FTransparent = value; Changed(); }
void TMarkupLabelProperties::SetAnchorHint(bool value) { FAnchorHint = value; HintsChanged(); }
void TMarkupLabelProperties::SetHintShowFull(bool value) { FHintShowFull = value; HintsChanged(); }

}  // namespace qm

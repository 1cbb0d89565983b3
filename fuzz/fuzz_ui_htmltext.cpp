// Lays out arbitrary label text on the fixed-metric surface: measure-only,
// drawing and hit-testing, with and without word wrap. The first input byte
// picks the rectangle width and the options. Checks that measuring every
// line covers at least what drawing shows, that only the first line may
// reach below the rectangle, and that any anchor found is one that the text
// holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "UFixedSurface.h"
#include "UHTMLText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 64 * 1024) return 0;
    const std::uint8_t options = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    qm::TFixedSurface surface;
    surface.Record = false;
    surface.Pictures.push_back({qm::TImageRef{qm::TImageKind::ikList, 0, {}}, qm::TImageInfo{{16, 16}, 1}});
    surface.Pictures.push_back({qm::TImageRef{qm::TImageKind::ikStore, 0, "p"}, qm::TImageInfo{{3, 40}, 2}});
    qm::TFontSpec font;
    font.Name = "Tahoma";
    font.Bold = (options & 1) != 0;
    qm::THTMLStyle style;
    style.Hover = (options & 2) != 0;
    style.HoverColor = qm::clYellow;
    const bool wrap = (options & 4) == 0;
    const qm::TRect rect{6, 6, 6 + (options >> 3) * 8, 200};

    const qm::TTextExtent measured = qm::DrawHTMLText(surface, font, rect, text, true, wrap, std::nullopt, style);
    const qm::TTextExtent drawn = qm::DrawHTMLText(surface, font, rect, text, false, wrap, qm::TPoint{20, 10}, style);
    // Only the first line may reach below the rectangle: drawn in a
    // rectangle of no height, it is all that is drawn.
    const qm::TRect flat{rect.Left, rect.Top, rect.Right, rect.Top};
    const qm::TTextExtent first = qm::DrawHTMLText(surface, font, flat, text, false, wrap, std::nullopt, style);
    if (measured.Height < drawn.Height || measured.Width < drawn.Width ||
        drawn.Height > std::max(rect.Height(), first.Height))
        std::abort();
    const qm::TAnchorHit hit = qm::HitTestHTMLText(surface, font, rect, text, {20, 10}, wrap, style);
    if (hit.Index < 0 || (hit.Index == 0 && !hit.Target.empty())) std::abort();
    if (hit.Index > 0 && !hit.Target.empty() && text.find(hit.Target) == std::string_view::npos &&
        qm::PrepareHTMLText(text).find(hit.Target) == std::string::npos)
        std::abort();
    (void)qm::StripHTMLTags(text);
    return 0;
}

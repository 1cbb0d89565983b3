#include "UContrast.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

// sRGB channel to linear light (WCAG 2.x "relative luminance").
double Linear(int channel) noexcept {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(TColor c) noexcept {
    return 0.2126 * Linear(RedOf(c)) + 0.7152 * Linear(GreenOf(c)) + 0.0722 * Linear(BlueOf(c));
}

int Blend(int from, int to, int step, int steps) noexcept { return from + (to - from) * step / steps; }

}  // namespace

double ContrastRatio(TColor a, TColor b) noexcept {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor ReadableLinkColor(TColor preferred, TColor background, TColor themeLink) noexcept {
    if (ContrastRatio(preferred, background) >= kReadableContrast) return preferred;
    if (ContrastRatio(themeLink, background) >= kReadableContrast) return themeLink;
    // Black on a light background, white on a dark one: whichever is
    // farther from it in luminance, which always reaches 4.5:1.
    const bool dark = ContrastRatio(clWhite, background) >= ContrastRatio(clBlack, background);
    const int target = dark ? 0xFF : 0x00;
    constexpr int kSteps = 16;
    for (int step = 1; step < kSteps; ++step) {
        const TColor c = ColorRGB(Blend(RedOf(preferred), target, step, kSteps),
                                  Blend(GreenOf(preferred), target, step, kSteps),
                                  Blend(BlueOf(preferred), target, step, kSteps));
        if (ContrastRatio(c, background) >= kReadableContrast) return c;
    }
    return dark ? clWhite : clBlack;
}

TDialogColors DialogColors(bool highContrast, TColor panel, const TSystemColors& system) noexcept {
    if (highContrast) return {system.Window, system.Window, system.WindowText, system.HotLight};
    return {panel, panel, system.WindowText, ReadableLinkColor(clBlue, panel, system.HotLight)};
}

}  // namespace qm

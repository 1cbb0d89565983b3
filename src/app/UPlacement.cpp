#include "UPlacement.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>

#include "UStringUtil.h"

namespace qm {

namespace {

// Coordinates are sums of host-supplied numbers and sizes: compute them wide
// and saturate, so an absurd reply still yields a defined position that the
// monitor correction then brings back on screen.
int Saturate(std::int64_t v) noexcept {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

std::int64_t SquaredGap(std::int64_t lo, std::int64_t hi, std::int64_t v) noexcept {
    // Distance of v from the half-open interval [lo, hi).
    if (v < lo) return lo - v;
    if (v >= hi) return v - (hi - 1);
    return 0;
}

std::int64_t DistanceSquared(const TRect& r, TPoint p) noexcept {
    const std::int64_t dx = SquaredGap(r.Left, r.Right, p.X);
    const std::int64_t dy = SquaredGap(r.Top, r.Bottom, p.Y);
    return dx * dx + dy * dy;
}

std::int64_t Overlap(int aLo, int aHi, int bLo, int bHi) noexcept {
    return std::max<std::int64_t>(0, std::int64_t{std::min(aHi, bHi)} - std::max(aLo, bLo));
}

std::int64_t GapBetween(int aLo, int aHi, int bLo, int bHi) noexcept {
    if (aHi <= bLo) return std::int64_t{bLo} - aHi;
    if (bHi <= aLo) return std::int64_t{aLo} - bHi;
    return 0;
}

void MoveTo(TFormBounds& form, std::int64_t left, std::int64_t top) noexcept {
    form.Left = Saturate(left);
    form.Top = Saturate(top);
}

}  // namespace

TRect TFormBounds::Rect() const noexcept {
    return {Left, Top, Saturate(std::int64_t{Left} + Width), Saturate(std::int64_t{Top} + Height)};
}

int StrToIntDef(std::string_view text, int fallback) noexcept {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fallback;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{INT_MAX} + 1) return fallback;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return fallback;
    return static_cast<int>(value);
}

std::optional<std::size_t> PrimaryMonitor(std::span<const TMonitor> monitors) noexcept {
    if (monitors.empty()) return std::nullopt;
    const auto it = std::find_if(monitors.begin(), monitors.end(),
                                 [](const TMonitor& m) { return m.Primary; });
    return it == monitors.end() ? 0 : static_cast<std::size_t>(it - monitors.begin());
}

std::optional<std::size_t> MonitorFromPoint(std::span<const TMonitor> monitors, TPoint p) noexcept {
    std::optional<std::size_t> best;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const std::int64_t d = DistanceSquared(monitors[i].Bounds, p);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

std::optional<std::size_t> MonitorFromRect(std::span<const TMonitor> monitors, const TRect& r) noexcept {
    std::optional<std::size_t> best;
    std::int64_t bestArea = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const TRect& m = monitors[i].Bounds;
        const std::int64_t area = Overlap(r.Left, r.Right, m.Left, m.Right) * Overlap(r.Top, r.Bottom, m.Top, m.Bottom);
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    if (best) return best;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const TRect& m = monitors[i].Bounds;
        const std::int64_t dx = GapBetween(r.Left, r.Right, m.Left, m.Right);
        const std::int64_t dy = GapBetween(r.Top, r.Bottom, m.Top, m.Bottom);
        if (dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = i;
        }
    }
    return best;
}

bool HostMetricsGivePosition(std::string_view metrics) {
    const auto pieces = SplitString(",", metrics, 4, 4);
    return !pieces.empty() && (!pieces[0].empty() || !pieces[1].empty());
}

void PlaceFromHostMetrics(TFormBounds& form, std::string_view metrics,
                          std::span<const TMonitor> monitors) {
    const auto pieces = SplitString(",", metrics, 4, 4);
    if (pieces.empty()) {
        CenterOnWorkArea(form, monitors);
        return;
    }
    if (!pieces[0].empty()) form.Left = Saturate(std::int64_t{StrToIntDef(pieces[0], 0)} + kHostMetricsOffset);
    if (!pieces[1].empty()) form.Top = Saturate(std::int64_t{StrToIntDef(pieces[1], 0)} + kHostMetricsOffset);
}

void CenterOnWorkArea(TFormBounds& form, std::span<const TMonitor> monitors) {
    const auto primary = PrimaryMonitor(monitors);
    if (!primary) return;
    const TRect& work = monitors[*primary].WorkArea;
    MoveTo(form, work.Right / 2 - form.Width / 2, work.Bottom / 2 - form.Height / 2);
}

void KeepLeftOnMonitor(TFormBounds& form, TPoint point, std::span<const TMonitor> monitors) {
    const auto index = MonitorFromPoint(monitors, point);
    if (!index) return;
    const TRect& screen = monitors[*index].Bounds;
    if (screen.Right < std::int64_t{form.Left} + form.Width)
        form.Left = Saturate(std::int64_t{screen.Right} - form.Width);
    else if (form.Left < screen.Left)
        form.Left = screen.Left;
}

std::optional<std::size_t> OwnMonitor(std::span<const TMonitor> monitors, const TRect& r) noexcept {
    const std::int64_t width = std::int64_t{r.Right} - r.Left;
    const std::int64_t height = std::int64_t{r.Bottom} - r.Top;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const TRect& m = monitors[i].Bounds;
        if (Overlap(r.Left, r.Right, m.Left, m.Right) > width / 2 &&
            Overlap(r.Top, r.Bottom, m.Top, m.Bottom) > height / 2)
            return i;
    }
    return MonitorFromRect(monitors, r);
}

bool KeepOnMonitor(TFormBounds& form, std::span<const TMonitor> monitors) {
    if (!form.HasBorder || monitors.empty()) return false;
    const TFormBounds before = form;
    const std::optional<std::size_t> target = OwnMonitor(monitors, form.Rect());
    const TRect& work = monitors[*target].WorkArea;

    if (form.Position == TFormPosition::poScreenCenter) {
        form.Position = TFormPosition::poDesigned;
        MoveTo(form, std::int64_t{work.Left} + work.Width() / 2 - form.Width / 2,
               std::int64_t{work.Top} + work.Height() / 2 - form.Height / 2);
        return true;
    }

    const TPoint centre{Saturate(std::int64_t{form.Left} + form.Width / 2),
                        Saturate(std::int64_t{form.Top} + form.Height / 2)};
    const TRect& nearWork = monitors[*MonitorFromPoint(monitors, centre)].WorkArea;
    if (nearWork != work)
        MoveTo(form, std::int64_t{form.Left} + work.Left - nearWork.Left,
               std::int64_t{form.Top} + work.Top - nearWork.Top);

    if (std::int64_t{form.Left} + form.Width > work.Right) form.Left = Saturate(std::int64_t{work.Right} - form.Width);
    if (form.Left < work.Left) form.Left = work.Left;
    if (std::int64_t{form.Top} + form.Height > work.Bottom) form.Top = Saturate(std::int64_t{work.Bottom} - form.Height);
    if (form.Top < work.Top) form.Top = work.Top;

    return form.Left != before.Left || form.Top != before.Top;
}

}  // namespace qm

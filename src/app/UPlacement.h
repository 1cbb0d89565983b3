// Window placement on a desktop of one or more monitors: the dialog opens
// next to the host's window and never ends up off screen. Pure functions over
// rectangles in virtual-desktop pixels; the platform supplies the monitor
// list (see UQtScreens.h).
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "UGeometry.h"

namespace qm {



// One monitor: its whole rectangle and its work area (the part not covered by
// panels and docks). Invariant: WorkArea lies inside Bounds.
struct TMonitor {
    TRect Bounds;
    TRect WorkArea;
    bool Primary = false;
};

// How a form chooses its position when it is shown.
enum class TFormPosition {
    poDesigned,      // at Left, Top
    poScreenCenter,  // centred on its monitor's work area
};

// A form as placement sees it: the outer top-left corner and the outer size
// (frame included). Width and Height are >= 0.
struct TFormBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool HasBorder = true;
    TFormPosition Position = TFormPosition::poDesigned;

    // The outer rectangle; coordinates saturate at the int range.
    TRect Rect() const noexcept;
};

// Distance the dialog keeps from the host window's top-left corner.
inline constexpr int kHostMetricsOffset = 50;

// Integer value of `text` as the host writes it: optional leading spaces, an
// optional sign and decimal digits, nothing else, within the int range.
// Anything else (empty, "x", "12a", "99999999999") gives `fallback`.
int StrToIntDef(std::string_view text, int fallback) noexcept;

// Index of the monitor flagged primary, else the first one; nullopt for an
// empty list.
std::optional<std::size_t> PrimaryMonitor(std::span<const TMonitor> monitors) noexcept;

// Index of the monitor containing `p`, else the one nearest to it (smallest
// Euclidean distance to its rectangle, the first on a tie); nullopt for an
// empty list.
std::optional<std::size_t> MonitorFromPoint(std::span<const TMonitor> monitors, TPoint p) noexcept;

// Index of the monitor that shares the largest area with `r`, else the one
// nearest to it; nullopt for an empty list.
std::optional<std::size_t> MonitorFromRect(std::span<const TMonitor> monitors, const TRect& r) noexcept;

// Places the form from the host's "CORVANTAMETRICS" reply (comma-separated
// integers, left and top first, further values unused): the text is split at
// "," into at most 4 pieces. No pieces at all (empty text) centres the form
// on the primary work area. Otherwise a non-empty first piece sets
// left := value + 50 and a non-empty second piece top := value + 50, a piece
// that is not an integer counting as 0; an empty piece keeps that coordinate.
// Results saturate at the int range.
// Whether the host's "CORVANTAMETRICS" reply gives the form a position: a
// non-empty first (left) or second (top) piece. Without one the form is
// centred, once placed and again after its first layout.
bool HostMetricsGivePosition(std::string_view metrics);

void PlaceFromHostMetrics(TFormBounds& form, std::string_view metrics,
                          std::span<const TMonitor> monitors);

// Centres the form on the primary monitor's work area by the formula
// left := work.Right div 2 - width div 2, top := work.Bottom div 2 -
// height div 2 (div truncating towards zero): the work area's own left and
// top do not enter it, so a panel docked on the left shifts the form left of
// the true centre. No monitors: the form stays where it is.
void CenterOnWorkArea(TFormBounds& form, std::span<const TMonitor> monitors);

// Corrects only the form's left edge against the whole rectangle (not the
// work area) of the monitor at `point` or nearest to it: a form reaching past
// the right edge is moved left to end there; otherwise a form starting left
// of the left edge is moved to start there. The top is left alone.
void KeepLeftOnMonitor(TFormBounds& form, TPoint point, std::span<const TMonitor> monitors);

// The monitor a window of outer rectangle `r` belongs to, whether or not it
// is the active window: the first monitor whose rectangle overlaps `r` by
// more than half its width and more than half its height, else the one
// sharing the largest area with it, else the nearest (MonitorFromRect);
// nullopt only for an empty list.
std::optional<std::size_t> OwnMonitor(std::span<const TMonitor> monitors, const TRect& r) noexcept;

// Moves the form onto its own monitor (OwnMonitor) and inside that monitor's
// work area. A form without a border is left alone. A screen-centred form is
// switched to poDesigned and centred on the target work area. Otherwise the
// form is first carried over from the monitor nearest its centre to the
// target (keeping its offset from the work area's top-left corner) and then
// clamped into the target work area; a form larger than the work area ends at
// its left or top edge. Returns true when it changed the form. No monitors:
// nothing changes.
bool KeepOnMonitor(TFormBounds& form, std::span<const TMonitor> monitors);

}  // namespace qm

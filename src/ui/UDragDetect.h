// Deciding whether a mouse press has become a drag, and the pure rules of a
// file drag (result of a drop, size of the drag image). No Qt here: the state
// machine is fed events and times by the platform glue (UQtDragDetect.h).
#pragma once

#include <chrono>

namespace qm {

using TDragClock = std::chrono::steady_clock;
using TDragTime = TDragClock::time_point;

// Process-wide drag-detection settings.
struct TDragSettings {
    std::chrono::milliseconds StartDelay{200};   // no drag by movement before this
    std::chrono::milliseconds IdleTimeout{500};  // a press held this long without input drags
    bool StartOnIdleTimeout = true;
    int DragWidth = 4;   // the system's minimum drag distance, >= 0
    int DragHeight = 4;
};

struct TDragPoint {
    int X = 0;
    int Y = 0;
};

enum class TDragDecision { Pending, Drag, NoDrag };

// Marks a drag source busy for the duration of one drag, also when the drag
// fails: `flag` is true from construction to destruction.
class TDragInProgress {
public:
    explicit TDragInProgress(bool& flag) noexcept : FFlag(flag) { FFlag = true; }
    TDragInProgress(const TDragInProgress&) = delete;
    TDragInProgress& operator=(const TDragInProgress&) = delete;
    ~TDragInProgress() { FFlag = false; }

private:
    bool& FFlag;
};

// One detection, from the press to the decision. Feed it what happens while
// a mouse button is held; every feed after the decision is ignored and
// returns the decision. Times must not go backwards.
class TDragStartDetector {
public:
    // `start`: the press position (screen coordinates); `now`: its time.
    TDragStartDetector(TDragPoint start, TDragTime now, const TDragSettings& settings = {});

    TDragDecision Decision() const noexcept { return FDecision; }

    // A left, right or middle button went down or up: no drag.
    TDragDecision ButtonEvent() noexcept;
    // A key went down (`escape`: it was Esc): Esc means no drag; any key is
    // input that restarts the idle wait.
    TDragDecision KeyPress(bool escape, TDragTime now) noexcept;
    // A key went up: input that restarts the idle wait.
    TDragDecision KeyRelease(TDragTime now) noexcept;
    // The mouse is at `position`: a drag once it is outside the drag rectangle
    // (the press position grown by DragWidth and DragHeight) and StartDelay
    // has passed since the press. Restarts the idle wait.
    TDragDecision MouseMove(TDragPoint position, TDragTime now) noexcept;
    // The capture was lost, the program quits, or the system cancels modes: no drag.
    TDragDecision Cancel() noexcept;

    // When the idle wait runs out if no input arrives before.
    TDragTime IdleDeadline() const noexcept { return FLastInput + FSettings.IdleTimeout; }
    // No input arrived until `now`: a drag when the idle wait has run out and
    // StartOnIdleTimeout is set.
    TDragDecision Idle(TDragTime now) noexcept;

private:
    TDragDecision Decide(TDragDecision decision) noexcept;

    TDragSettings FSettings;
    TDragPoint FStart;
    TDragTime FStartTime;
    TDragTime FLastInput;
    TDragDecision FDecision = TDragDecision::Pending;
};

// Drop effects of a file drag, as bits.
enum TDragType : unsigned {
    dtCopy = 1,
    dtMove = 2,
    dtLink = 4,
};
using TDragTypes = unsigned;

enum class TDragResult {
    drDropCopy,
    drDropMove,
    drDropLink,
    drCancel,
    drOutMemory,
    drAsync,
    drUnknown,
};

// Result of a finished drag from the effect the target performed, restricted
// to the allowed ones: none is a cancellation, one effect is its drop, a mix
// is drUnknown.
TDragResult DragResultOf(TDragTypes performed, TDragTypes allowed) noexcept;

// Size of the drag image made from a graphic: each side at most a tenth of
// the screen width (the width bounds both sides). Sizes >= 0.
struct TDragImageSize {
    int Width = 0;
    int Height = 0;
};
TDragImageSize DragImageSize(int graphicWidth, int graphicHeight, int screenWidth) noexcept;

// Vertical offset of the cursor inside the drag image; the horizontal offset
// is the image width, so the image hangs left of the cursor.
inline constexpr int kDragImageHotSpotY = 16;

}  // namespace qm

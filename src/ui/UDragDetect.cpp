#include "UDragDetect.h"

#include <algorithm>

namespace qm {

TDragStartDetector::TDragStartDetector(TDragPoint start, TDragTime now, const TDragSettings& settings)
    : FSettings(settings), FStart(start), FStartTime(now), FLastInput(now) {}

TDragDecision TDragStartDetector::Decide(TDragDecision decision) noexcept {
    if (FDecision == TDragDecision::Pending) FDecision = decision;
    return FDecision;
}

TDragDecision TDragStartDetector::ButtonEvent() noexcept { return Decide(TDragDecision::NoDrag); }

TDragDecision TDragStartDetector::Cancel() noexcept { return Decide(TDragDecision::NoDrag); }

TDragDecision TDragStartDetector::KeyPress(bool escape, TDragTime now) noexcept {
    if (FDecision != TDragDecision::Pending) return FDecision;
    if (escape) return Decide(TDragDecision::NoDrag);
    FLastInput = now;
    return FDecision;
}

TDragDecision TDragStartDetector::KeyRelease(TDragTime now) noexcept {
    if (FDecision == TDragDecision::Pending) FLastInput = now;
    return FDecision;
}

TDragDecision TDragStartDetector::MouseMove(TDragPoint position, TDragTime now) noexcept {
    if (FDecision != TDragDecision::Pending) return FDecision;
    FLastInput = now;
    // The rectangle has exclusive right and bottom edges, like a platform RECT.
    const long long dx = static_cast<long long>(position.X) - FStart.X;
    const long long dy = static_cast<long long>(position.Y) - FStart.Y;
    const bool inside = dx >= -FSettings.DragWidth && dx < FSettings.DragWidth &&
                        dy >= -FSettings.DragHeight && dy < FSettings.DragHeight;
    if (!inside && now - FStartTime >= FSettings.StartDelay) return Decide(TDragDecision::Drag);
    return FDecision;
}

TDragDecision TDragStartDetector::Idle(TDragTime now) noexcept {
    if (FSettings.StartOnIdleTimeout && now >= IdleDeadline()) return Decide(TDragDecision::Drag);
    return FDecision;
}

TDragResult DragResultOf(TDragTypes performed, TDragTypes allowed) noexcept {
    switch (performed & allowed) {
        case 0: return TDragResult::drCancel;
        case dtCopy: return TDragResult::drDropCopy;
        case dtMove: return TDragResult::drDropMove;
        case dtLink: return TDragResult::drDropLink;
        default: return TDragResult::drUnknown;
    }
}

TDragImageSize DragImageSize(int graphicWidth, int graphicHeight, int screenWidth) noexcept {
    const int limit = std::max(0, screenWidth / 10);
    return {std::clamp(graphicWidth, 0, limit), std::clamp(graphicHeight, 0, limit)};
}

}  // namespace qm

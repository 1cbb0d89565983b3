#include <gtest/gtest.h>

#include "UDragDetect.h"

namespace {

using namespace std::chrono_literals;
using qm::TDragDecision;
using qm::TDragStartDetector;

const qm::TDragTime kT0{};
const qm::TDragPoint kPress{100, 100};

// The drag rectangle of these tests reaches 4 pixels each way.
qm::TDragSettings Settings(bool startOnIdle = true) {
    qm::TDragSettings settings;
    settings.DragWidth = 4;
    settings.DragHeight = 4;
    settings.StartOnIdleTimeout = startOnIdle;
    return settings;
}

TEST(DragStartDetector, NoDragWithoutMovement) {
    TDragStartDetector detector(kPress, kT0, Settings());
    EXPECT_EQ(detector.Decision(), TDragDecision::Pending);
    EXPECT_EQ(detector.MouseMove(kPress, kT0 + 300ms), TDragDecision::Pending);
    EXPECT_EQ(detector.ButtonEvent(), TDragDecision::NoDrag);
    // Decided: what follows changes nothing.
    EXPECT_EQ(detector.MouseMove({500, 500}, kT0 + 400ms), TDragDecision::NoDrag);
    EXPECT_EQ(detector.Idle(kT0 + 10s), TDragDecision::NoDrag);
}

TEST(DragStartDetector, ADragOnIdleTimeOut) {
    TDragStartDetector detector(kPress, kT0, Settings());
    EXPECT_EQ(detector.IdleDeadline(), kT0 + 500ms);
    EXPECT_EQ(detector.Idle(kT0 + 499ms), TDragDecision::Pending);
    EXPECT_EQ(detector.Idle(kT0 + 500ms), TDragDecision::Drag);
    EXPECT_EQ(detector.ButtonEvent(), TDragDecision::Drag);
}

TEST(DragStartDetector, InputRestartsTheIdleWait) {
    TDragStartDetector detector(kPress, kT0, Settings());
    detector.MouseMove({101, 101}, kT0 + 300ms);
    EXPECT_EQ(detector.IdleDeadline(), kT0 + 800ms);
    EXPECT_EQ(detector.Idle(kT0 + 600ms), TDragDecision::Pending);
    detector.KeyPress(false, kT0 + 700ms);
    detector.KeyRelease(kT0 + 750ms);
    EXPECT_EQ(detector.IdleDeadline(), kT0 + 1250ms);
    EXPECT_EQ(detector.Idle(kT0 + 1249ms), TDragDecision::Pending);
    EXPECT_EQ(detector.Idle(kT0 + 1250ms), TDragDecision::Drag);
}

TEST(DragStartDetector, IdleTimeOutCanBeSwitchedOff) {
    TDragStartDetector detector(kPress, kT0, Settings(false));
    EXPECT_EQ(detector.Idle(kT0 + 10s), TDragDecision::Pending);
    EXPECT_EQ(detector.MouseMove({200, 100}, kT0 + 11s), TDragDecision::Drag);
}

TEST(DragStartDetector, NoDragBefore200Milliseconds) {
    TDragStartDetector detector(kPress, kT0, Settings());
    EXPECT_EQ(detector.MouseMove({200, 200}, kT0 + 50ms), TDragDecision::Pending);
    EXPECT_EQ(detector.MouseMove({300, 300}, kT0 + 199ms), TDragDecision::Pending);
    EXPECT_EQ(detector.MouseMove({300, 300}, kT0 + 200ms), TDragDecision::Drag);
}

TEST(DragStartDetector, MovementMustLeaveTheDragRectangle) {
    // Inside: press +- 4 with exclusive right and bottom edges.
    for (const qm::TDragPoint inside : {qm::TDragPoint{96, 96}, qm::TDragPoint{103, 103}, qm::TDragPoint{96, 103}}) {
        TDragStartDetector detector(kPress, kT0, Settings());
        EXPECT_EQ(detector.MouseMove(inside, kT0 + 300ms), TDragDecision::Pending) << inside.X << "," << inside.Y;
    }
    for (const qm::TDragPoint outside : {qm::TDragPoint{95, 100}, qm::TDragPoint{104, 100}, qm::TDragPoint{100, 95},
                                         qm::TDragPoint{100, 104}}) {
        TDragStartDetector detector(kPress, kT0, Settings());
        EXPECT_EQ(detector.MouseMove(outside, kT0 + 300ms), TDragDecision::Drag) << outside.X << "," << outside.Y;
    }
}

TEST(DragStartDetector, EscAndCancellationsMeanNoDrag) {
    TDragStartDetector esc(kPress, kT0, Settings());
    EXPECT_EQ(esc.KeyPress(false, kT0 + 10ms), TDragDecision::Pending);
    EXPECT_EQ(esc.KeyPress(true, kT0 + 20ms), TDragDecision::NoDrag);
    EXPECT_EQ(esc.MouseMove({300, 300}, kT0 + 300ms), TDragDecision::NoDrag);

    TDragStartDetector cancelled(kPress, kT0, Settings());
    EXPECT_EQ(cancelled.Cancel(), TDragDecision::NoDrag);
    EXPECT_EQ(cancelled.Idle(kT0 + 1s), TDragDecision::NoDrag);
}

TEST(DragResultOf, MapsThePerformedEffectWithinTheAllowedOnes) {
    using qm::TDragResult;
    EXPECT_EQ(qm::DragResultOf(qm::dtCopy, qm::dtCopy), TDragResult::drDropCopy);
    EXPECT_EQ(qm::DragResultOf(qm::dtMove, qm::dtCopy | qm::dtMove), TDragResult::drDropMove);
    EXPECT_EQ(qm::DragResultOf(qm::dtLink, qm::dtCopy | qm::dtLink), TDragResult::drDropLink);
    EXPECT_EQ(qm::DragResultOf(qm::dtMove, qm::dtCopy), TDragResult::drCancel);
    EXPECT_EQ(qm::DragResultOf(0, qm::dtCopy), TDragResult::drCancel);
    EXPECT_EQ(qm::DragResultOf(qm::dtCopy | qm::dtMove, qm::dtCopy | qm::dtMove), TDragResult::drUnknown);
}

TEST(DragImageSize, IsBoundedByATenthOfTheScreenWidthOnEachSide) {
    EXPECT_EQ(qm::DragImageSize(454, 454, 1920).Width, 192);
    EXPECT_EQ(qm::DragImageSize(454, 454, 1920).Height, 192);
    EXPECT_EQ(qm::DragImageSize(150, 100, 1920).Width, 150);
    EXPECT_EQ(qm::DragImageSize(150, 100, 1920).Height, 100);
    EXPECT_EQ(qm::DragImageSize(100, 300, 1920).Height, 192);
    EXPECT_EQ(qm::DragImageSize(100, 100, 5).Width, 0);
}

}  // namespace

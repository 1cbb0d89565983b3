#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "UQtDragDetect.h"

namespace {

using namespace std::chrono_literals;

// A widget that asks DetectDragStart on every press, with a clock the test
// moves by hand (it stands still unless moved, so no idle time-out fires).
class TPressProbe : public QWidget {
public:
    TPressProbe() { resize(200, 200); }

    qm::TDragTime Now{};
    bool UseRealClock = false;
    std::optional<bool> Result;
    int Releases = 0;
    int Keys = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        qm::TDragTimeSource clock;
        if (!UseRealClock) clock = [this] { return Now; };
        Result = qm::DetectDragStart(this, event->position().toPoint(), clock);
    }
    void mouseReleaseEvent(QMouseEvent*) override { ++Releases; }
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

class QtDragDetect : public ::testing::Test {
protected:
    void SetUp() override {
        Probe.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Probe));
    }
    void TearDown() override {
        // Leave no button held for the next test.
        if (QGuiApplication::mouseButtons() != Qt::NoButton) Release();
    }
    QWindow* Window() { return Probe.windowHandle(); }
    void Press() { QTest::mousePress(Window(), Qt::LeftButton, {}, kStart); }
    void Release() { QTest::mouseRelease(Window(), Qt::LeftButton, {}, kStart); }
    void MoveTo(QPoint p) { QTest::mouseMove(Window(), p); }
    // Runs `step` once the detection has started.
    void During(std::function<void()> step) { QTimer::singleShot(0, &Probe, std::move(step)); }

    static constexpr QPoint kStart{50, 50};
    TPressProbe Probe;
};

TEST_F(QtDragDetect, APressAndReleaseWithoutMovementIsNoDragAndTheReleaseArrives) {
    During([this] { Release(); });
    Press();
    ASSERT_TRUE(Probe.Result.has_value());
    EXPECT_FALSE(*Probe.Result);
    EXPECT_EQ(Probe.Releases, 1);
}

TEST_F(QtDragDetect, MovingFarAfter200MillisecondsIsADrag) {
    During([this] {
        Probe.Now += 250ms;
        MoveTo(kStart + QPoint(40, 0));
    });
    Press();
    ASSERT_TRUE(Probe.Result.has_value());
    EXPECT_TRUE(*Probe.Result);
}

TEST_F(QtDragDetect, MovingFarTooEarlyIsNotYetADrag) {
    During([this] {
        Probe.Now += 100ms;
        MoveTo(kStart + QPoint(40, 40));
        Probe.Now += 50ms;
        Release();
    });
    Press();
    ASSERT_TRUE(Probe.Result.has_value());
    EXPECT_FALSE(*Probe.Result);
}

TEST_F(QtDragDetect, EscEndsTheDetectionAndIsConsumed) {
    During([this] { QTest::keyClick(Window(), Qt::Key_Escape); });
    Press();
    ASSERT_TRUE(Probe.Result.has_value());
    EXPECT_FALSE(*Probe.Result);
    EXPECT_EQ(Probe.Keys, 0);
    EXPECT_TRUE(Probe.isVisible());
}

TEST_F(QtDragDetect, HoldingStillIsADragOnIdleTimeOut) {
    Probe.UseRealClock = true;
    Press();
    ASSERT_TRUE(Probe.Result.has_value());
    EXPECT_TRUE(*Probe.Result);
}

TEST_F(QtDragDetect, WithoutAButtonDownTheAnswerIsNoAtOnce) {
    ASSERT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    EXPECT_FALSE(qm::DetectDragStart(&Probe, kStart));
    EXPECT_FALSE(qm::DetectDragStart(nullptr, kStart));
}

}  // namespace

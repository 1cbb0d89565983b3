#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "UPlacement.h"

namespace {

using qm::TFormBounds;
using qm::TFormPosition;
using qm::TMonitor;
using qm::TRect;

// A 1920 x 1080 primary monitor with a 40-pixel panel at the bottom.
const TMonitor kPrimary{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true};
// A second monitor left of the primary one, panel-free.
const TMonitor kLeft{{-1920, 0, 0, 1080}, {-1920, 0, 0, 1080}, false};

// The dialog at its design position.
TFormBounds Dialog(int width = 250, int height = 200) { return {233, 303, width, height}; }

TEST(StrToIntDef, ReadsDecimalIntegersWithSignAndLeadingSpaces) {
    EXPECT_EQ(qm::StrToIntDef("100", -1), 100);
    EXPECT_EQ(qm::StrToIntDef("  42", -1), 42);
    EXPECT_EQ(qm::StrToIntDef("+7", -1), 7);
    EXPECT_EQ(qm::StrToIntDef("-2000", -1), -2000);
    EXPECT_EQ(qm::StrToIntDef("2147483647", -1), INT_MAX);
    EXPECT_EQ(qm::StrToIntDef("-2147483648", -1), INT_MIN);
}

TEST(StrToIntDef, AnythingElseGivesTheFallback) {
    for (const char* text : {"", " ", "x", "-", "+", "12a", "12 ", "1.5", "0x10", "2147483648", "-2147483649",
                             "99999999999999999999999"})
        EXPECT_EQ(qm::StrToIntDef(text, -1), -1) << '"' << text << '"';
}

TEST(PlaceFromHostMetrics, PutsTheDialog50PixelsFromTheHostCorner) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "100,200,300,400", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 150);
    EXPECT_EQ(form.Top, 250);
    EXPECT_EQ(form.Width, 250);
    EXPECT_EQ(form.Height, 200);
}

TEST(PlaceFromHostMetrics, EmptyPiecesKeepTheDesignPosition) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, ",80", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 233);
    EXPECT_EQ(form.Top, 130);

    form = Dialog();
    qm::PlaceFromHostMetrics(form, ",", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 233);
    EXPECT_EQ(form.Top, 303);

    form = Dialog();
    qm::PlaceFromHostMetrics(form, "70", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 120);
    EXPECT_EQ(form.Top, 303);
}

TEST(PlaceFromHostMetrics, PiecesThatAreNotIntegersCountAsZero) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "x,y", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 50);
    EXPECT_EQ(form.Top, 50);
}

TEST(PlaceFromHostMetrics, TheFourthPieceTakesTheRestOfTheText) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "1,2,3,4,5,6", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 51);
    EXPECT_EQ(form.Top, 52);
}

TEST(PlaceFromHostMetrics, EmptyMetricsCentreOnThePrimaryWorkArea) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "", std::vector{kLeft, kPrimary});
    EXPECT_EQ(form.Left, 1920 / 2 - 250 / 2);
    EXPECT_EQ(form.Top, 1040 / 2 - 200 / 2);
}

TEST(PlaceFromHostMetrics, ExtremeValuesSaturateInsteadOfOverflowing) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "2147483647,-2147483648", std::vector{kPrimary});
    EXPECT_EQ(form.Left, INT_MAX);
    EXPECT_EQ(form.Top, INT_MIN + 50);
    qm::KeepLeftOnMonitor(form, {form.Left, form.Top}, std::vector{kPrimary});
    EXPECT_EQ(form.Left, 1920 - 250);
    EXPECT_TRUE(qm::KeepOnMonitor(form, std::vector{kPrimary}));
    EXPECT_EQ(form.Top, 0);
}

TEST(CenterOnWorkArea, UsesHalfTheRightAndBottomCoordinatesOnly) {
    // A panel docked on the left: the formula ignores the work area's left edge.
    const TMonitor docked{{0, 0, 1920, 1080}, {60, 0, 1920, 1080}, true};
    TFormBounds form = Dialog(251, 201);
    qm::CenterOnWorkArea(form, std::vector{docked});
    EXPECT_EQ(form.Left, 960 - 125);
    EXPECT_EQ(form.Top, 540 - 100);
}

TEST(CenterOnWorkArea, TruncatesTowardsZeroOnNegativeCoordinates) {
    const TMonitor odd{{-1921, -1001, -1, -1}, {-1921, -1001, -3, -5}, true};
    TFormBounds form = Dialog(11, 7);
    qm::CenterOnWorkArea(form, std::vector{odd});
    EXPECT_EQ(form.Left, -1 - 5);
    EXPECT_EQ(form.Top, -2 - 3);
}

TEST(CenterOnWorkArea, WithoutMonitorsTheFormStays) {
    TFormBounds form = Dialog();
    qm::CenterOnWorkArea(form, {});
    EXPECT_EQ(form.Left, 233);
    EXPECT_EQ(form.Top, 303);
}

TEST(KeepLeftOnMonitor, PullsAFormBackFromTheRightEdge) {
    TFormBounds form = Dialog();
    qm::PlaceFromHostMetrics(form, "1900,100", std::vector{kPrimary});
    EXPECT_EQ(form.Left, 1950);
    qm::KeepLeftOnMonitor(form, {form.Left, form.Top}, std::vector{kPrimary});
    EXPECT_EQ(form.Left, 1920 - 250);
    EXPECT_EQ(form.Top, 150);
}

TEST(KeepLeftOnMonitor, UsesTheNearestMonitorLeftOfThePrimary) {
    TFormBounds form = Dialog();
    const std::vector monitors{kPrimary, kLeft};
    qm::PlaceFromHostMetrics(form, "-2000,100", monitors);
    EXPECT_EQ(form.Left, -1950);
    qm::KeepLeftOnMonitor(form, {form.Left, form.Top}, monitors);
    EXPECT_EQ(form.Left, -1920);
    EXPECT_EQ(form.Top, 150);
}

TEST(KeepLeftOnMonitor, UsesTheWholeMonitorNotItsWorkAreaAndLeavesTheTop) {
    const TMonitor docked{{0, 0, 1920, 1080}, {0, 0, 1800, 1000}, true};
    TFormBounds form{1700, 1070, 200, 100};
    qm::KeepLeftOnMonitor(form, {form.Left, form.Top}, std::vector{docked});
    EXPECT_EQ(form.Left, 1700);
    EXPECT_EQ(form.Top, 1070);
}

TEST(KeepLeftOnMonitor, AFormWiderThanTheMonitorEndsAtItsRightEdge) {
    TFormBounds form{10, 0, 2000, 100};
    qm::KeepLeftOnMonitor(form, {10, 0}, std::vector{kPrimary});
    EXPECT_EQ(form.Left, 1920 - 2000);
}

TEST(MonitorLookup, FindsContainingThenNearestMonitor) {
    const std::vector monitors{kPrimary, kLeft};
    EXPECT_EQ(qm::MonitorFromPoint(monitors, {0, 0}), 0u);
    EXPECT_EQ(qm::MonitorFromPoint(monitors, {-1, 0}), 1u);
    EXPECT_EQ(qm::MonitorFromPoint(monitors, {1920, 5}), 0u);  // right edge is exclusive: nearest
    EXPECT_EQ(qm::MonitorFromPoint(monitors, {-5000, 2000}), 1u);
    EXPECT_EQ(qm::MonitorFromPoint({}, {0, 0}), std::nullopt);
    EXPECT_EQ(qm::MonitorFromRect(monitors, {-100, 0, 60, 10}), 1u);
    EXPECT_EQ(qm::MonitorFromRect(monitors, {-60, 0, 100, 10}), 0u);
    EXPECT_EQ(qm::MonitorFromRect(monitors, {3000, 0, 3100, 10}), 0u);
}

TEST(MonitorLookup, PrimaryIsTheFlaggedMonitorElseTheFirst) {
    EXPECT_EQ(qm::PrimaryMonitor(std::vector{kLeft, kPrimary}), 1u);
    const TMonitor unflagged{kPrimary.Bounds, kPrimary.WorkArea, false};
    EXPECT_EQ(qm::PrimaryMonitor(std::vector{kLeft, unflagged}), 0u);
    EXPECT_EQ(qm::PrimaryMonitor({}), std::nullopt);
}

TEST(KeepOnMonitor, ATallerDialogMovesUpToTheWorkAreaBottom) {
    TFormBounds form{300, 700, 474, 503};
    EXPECT_TRUE(qm::KeepOnMonitor(form, std::vector{kPrimary}));
    EXPECT_EQ(form.Left, 300);
    EXPECT_EQ(form.Top, 1040 - 503);
}

TEST(KeepOnMonitor, AFormInsideItsWorkAreaStays) {
    TFormBounds form{300, 200, 474, 503};
    EXPECT_FALSE(qm::KeepOnMonitor(form, std::vector{kPrimary, kLeft}));
    EXPECT_EQ(form.Left, 300);
    EXPECT_EQ(form.Top, 200);
}

TEST(KeepOnMonitor, AFormLargerThanTheWorkAreaEndsAtItsTopLeft) {
    TFormBounds form{100, 100, 2500, 1500};
    qm::KeepOnMonitor(form, std::vector{kPrimary});
    EXPECT_EQ(form.Left, 0);
    EXPECT_EQ(form.Top, 0);
}

TEST(KeepOnMonitor, StaysOnTheMonitorLeftOfThePrimary) {
    TFormBounds form{-300, 900, 250, 300};
    qm::KeepOnMonitor(form, std::vector{kPrimary, kLeft});
    EXPECT_EQ(form.Left, -300);
    EXPECT_EQ(form.Top, 1080 - 300);
}

TEST(KeepOnMonitor, AFormMostlyOffEveryMonitorStaysOnItsOwn) {
    // Active or not, the form goes to the monitor it overlaps most, else the
    // nearest; here the left one, not the primary.
    const std::vector monitors{kPrimary, kLeft};
    struct TCase {
        TFormBounds Form;
        qm::TPoint Expected;
    };
    const TCase cases[] = {
        // Below the left monitor, off every monitor: the nearest.
        {{-1800, 1500, 250, 200}, {-1800, 1080 - 200}},
        // Mostly below the left monitor's bottom, a little on the primary.
        {{-300, 900, 474, 503}, {-474, 1080 - 503}},
    };
    for (const TCase& c : cases) {
        TFormBounds form = c.Form;
        EXPECT_EQ(qm::OwnMonitor(monitors, form.Rect()), 1u);
        EXPECT_TRUE(qm::KeepOnMonitor(form, monitors));
        EXPECT_EQ((qm::TPoint{form.Left, form.Top}), c.Expected);
    }
}

TEST(KeepOnMonitor, FirstMonitorOverlappingMoreThanHalfIsTheTarget) {
    // Straddling both monitors, 60 % on the left one: it moves wholly onto it.
    const std::vector monitors{kPrimary, kLeft};
    TFormBounds form{-150, 100, 250, 200};
    qm::KeepOnMonitor(form, monitors);
    EXPECT_EQ(form.Left, -250);
    EXPECT_EQ(form.Top, 100);
}

TEST(KeepOnMonitor, AScreenCentredFormIsCentredOnTheTargetWorkArea) {
    const TMonitor docked{{0, 0, 1920, 1080}, {60, 0, 1920, 1080}, true};
    TFormBounds form{500, 500, 250, 200};
    form.Position = TFormPosition::poScreenCenter;
    EXPECT_TRUE(qm::KeepOnMonitor(form, std::vector{docked}));
    EXPECT_EQ(form.Position, TFormPosition::poDesigned);
    EXPECT_EQ(form.Left, 60 + 1860 / 2 - 125);
    EXPECT_EQ(form.Top, 540 - 100);
}

TEST(KeepOnMonitor, BorderlessFormsAndEmptyMonitorListsAreLeftAlone) {
    TFormBounds form{5000, 5000, 250, 200};
    form.HasBorder = false;
    EXPECT_FALSE(qm::KeepOnMonitor(form, std::vector{kPrimary}));
    EXPECT_EQ(form.Left, 5000);
    form.HasBorder = true;
    EXPECT_FALSE(qm::KeepOnMonitor(form, {}));
    EXPECT_EQ(form.Top, 5000);
}

}  // namespace

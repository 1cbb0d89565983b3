// Qt side of window placement and screen set-up: the monitor list from
// QScreen, a widget's outer bounds and its move, and widget properties for
// the look-and-feel mechanism.
#pragma once

#include <QColor>
#include <vector>

#include "UPlacement.h"
#include "UScreenSetup.h"

class QWidget;

namespace qm {

// One TMonitor per QScreen in the order Qt lists them: Bounds from
// geometry(), WorkArea from availableGeometry(), Primary for the primary
// screen. Empty without screens.
std::vector<TMonitor> MonitorsFromScreens();

// The window's outer (frame) rectangle and border as placement sees them;
// Position is poDesigned. A frameless window has no border.
TFormBounds FormBoundsOf(const QWidget& window);

// Moves the window so that its outer top-left corner is at form.Left, form.Top.
void MoveWindowTo(QWidget& window, const TFormBounds& form);

// The colour to paint for a colour value: plain colours as they are, system
// colours from the application palette; invalid for clNone and clDefault.
QColor ColorToQColor(TColor color);

// Defines the properties "Color" (background), "Font.Name", "Font.Size"
// (points, > 0) and "Font.Color" of a widget on `object`. The widget must
// outlive `object`.
void DefineWidgetProperties(TPropertyObject& object, QWidget& widget);

}  // namespace qm

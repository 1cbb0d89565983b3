// Drag detection on Qt: runs a TDragStartDetector fed by the application's
// mouse and key events until it decides.
#pragma once

#include <QPoint>
#include <functional>

#include "UDragDetect.h"

class QWidget;

namespace qm {

// Source of the current time; tests may hold it still or move it on.
using TDragTimeSource = std::function<TDragTime()>;

// The settings of this desktop: start delay 200 ms, idle time-out 500 ms,
// QApplication::startDragDistance() as drag width and height.
TDragSettings SystemDragSettings();

// True when the user has started a drag with the press at `point` on
// `window`. `point` may be in screen coordinates or in the window's own
// coordinates (it is taken as the latter when it lies outside the window's
// screen rectangle but inside its own one). Answers false at once unless the
// left or right button is down. Otherwise waits, running the event loop,
// while key presses and mouse moves are consumed and fed to the detector;
// a button press or release ends the wait with false and is delivered as
// usual (so a double click still reaches its widget), as do Esc, the window
// losing activation, the window being destroyed and the program quitting.
// `now` defaults to the steady clock.
bool DetectDragStart(QWidget* window, QPoint point, const TDragTimeSource& now = {});

}  // namespace qm

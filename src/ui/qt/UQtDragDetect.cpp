#include "UQtDragDetect.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace qm {

namespace {

// Watches every event of the application while one detection runs.
class TDetectionFilter : public QObject {
public:
    TDetectionFilter(TDragStartDetector& detector, TDragTimeSource now, QEventLoop& loop, QWidget* window)
        : FDetector(detector), FNow(std::move(now)), FLoop(loop), FWindow(window) {
        FIdleTimer.setSingleShot(true);
        connect(&FIdleTimer, &QTimer::timeout, this, [this] { Settle(FDetector.Idle(FNow())); });
        connect(window, &QObject::destroyed, this, [this] { Settle(FDetector.Cancel()); });
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive) Settle(FDetector.Cancel());
        });
        ArmIdleTimer();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (FDetector.Decision() != TDragDecision::Pending) return false;
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                // Left where it is: the widget still gets the press or release.
                Settle(FDetector.ButtonEvent());
                return false;
            case QEvent::MouseMove: {
                const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
                Settle(FDetector.MouseMove({global.x(), global.y()}, FNow()));
                return true;
            }
            case QEvent::KeyPress: {
                const auto* key = static_cast<QKeyEvent*>(event);
                Settle(FDetector.KeyPress(key->key() == Qt::Key_Escape, FNow()));
                return true;
            }
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
                Settle(FDetector.KeyRelease(FNow()));
                return true;
            case QEvent::WindowDeactivate:
                if (FWindow && watched == FWindow->window()) Settle(FDetector.Cancel());
                return false;
            default:
                return false;
        }
    }

private:
    void Settle(TDragDecision decision) {
        if (decision == TDragDecision::Pending)
            ArmIdleTimer();
        else
            FLoop.quit();
    }

    void ArmIdleTimer() {
        using namespace std::chrono;
        const auto left = duration_cast<milliseconds>(FDetector.IdleDeadline() - FNow()).count();
        FIdleTimer.start(static_cast<int>(std::clamp<long long>(left, 1, 60'000)));
    }

    TDragStartDetector& FDetector;
    TDragTimeSource FNow;
    QEventLoop& FLoop;
    QPointer<QWidget> FWindow;
    QTimer FIdleTimer;
};

}  // namespace

TDragSettings SystemDragSettings() {
    TDragSettings settings;
    settings.DragWidth = QApplication::startDragDistance();
    settings.DragHeight = QApplication::startDragDistance();
    return settings;
}

bool DetectDragStart(QWidget* window, QPoint point, const TDragTimeSource& now) {
    if (!window) return false;
    const QRect ownRect(QPoint(0, 0), window->size());
    const QRect screenRect(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (!screenRect.contains(point) && ownRect.contains(point)) point = window->mapToGlobal(point);
    if (!(QGuiApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton))) return false;

    const TDragTimeSource clock = now ? now : TDragTimeSource([] { return TDragClock::now(); });
    TDragStartDetector detector({point.x(), point.y()}, clock(), SystemDragSettings());
    QEventLoop loop;
    TDetectionFilter filter(detector, clock, loop, window);
    qApp->installEventFilter(&filter);
    // The program quitting ends this loop too; the detector then has not decided.
    loop.exec();
    qApp->removeEventFilter(&filter);
    return detector.Decision() == TDragDecision::Drag;
}

}  // namespace qm

// Ending the program by a termination signal the normal way: SIGTERM (the
// host passes it on at its exit), SIGHUP (the desktop session ends) and
// SIGINT close the dialog through the event loop, so that what the dialog
// does when it closes (deleting the current card files) still happens.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace qm {

class TQuitOnSignals : public QObject {
public:
    // Installs the handlers for the life of the object; `onSignal` then runs
    // on the event loop of the thread that made the object (the user-interface
    // thread), once per signal received. At most one object at a time. When
    // the system gives no pipe for the hand-over, nothing is installed.
    explicit TQuitOnSignals(std::function<void(int signal)> onSignal);
    TQuitOnSignals(const TQuitOnSignals&) = delete;
    TQuitOnSignals& operator=(const TQuitOnSignals&) = delete;
    // Restores the dispositions found at construction.
    ~TQuitOnSignals() override;

private:
    struct TState;
    std::unique_ptr<TState> FState;
    std::function<void(int)> FOnSignal;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

}  // namespace qm

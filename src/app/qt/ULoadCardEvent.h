// The private message that starts a load of the current host record: a
// posted event, so the first load runs only after the dialog has been shown
// and several requests run one after another.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <memory>

namespace qm {

class TLoadCardEvent : public QEvent {
public:
    // The load's own event type, inside Qt's user range (QEvent::User 1000
    // to QEvent::MaxUser 65535).
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(1025);

    // `large` asks for the large image (200 mm), otherwise the small one (120 mm).
    explicit TLoadCardEvent(bool large) : QEvent(kType), FLarge(large) {}
    bool Large() const noexcept { return FLarge; }

private:
    bool FLarge;
};

// Posts a TLoadCardEvent to `receiver`; the event loop delivers it later.
inline void PostLoadCard(QObject& receiver, bool large) {
    // postEvent takes ownership of the event.
    QCoreApplication::postEvent(&receiver, std::make_unique<TLoadCardEvent>(large).release());
}

}  // namespace qm

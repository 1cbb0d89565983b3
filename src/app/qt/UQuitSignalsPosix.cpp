#include "UQuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

#include "UFileHandle.h"

namespace qm {

namespace {

constexpr std::array<int, 3> kQuitSignals{SIGTERM, SIGHUP, SIGINT};

// Write end of the self-pipe; the handler may only make async-signal-safe
// calls, so it hands the signal number over to the event loop this way.
volatile sig_atomic_t gWriteFd = -1;

extern "C" void OnQuitSignal(int sig) {
    const int saved = errno;
    const int fd = gWriteFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(sig);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

struct TQuitOnSignals::TState {
    TFileHandle Read;
    TFileHandle Write;
    std::array<struct sigaction, kQuitSignals.size()> Previous{};
};

TQuitOnSignals::TQuitOnSignals(std::function<void(int signal)> onSignal)
    : FState(std::make_unique<TState>()), FOnSignal(std::move(onSignal)) {
    int fds[2];
    // Without the pipe the signals keep their dispositions: the program
    // still works, it only ends the abrupt way on them.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) return;
    FState->Read = TFileHandle(fds[0]);
    FState->Write = TFileHandle(fds[1]);
    gWriteFd = fds[1];

    FNotifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(FState->Read.Get(), &byte, 1) == 1) FOnSignal(byte);
    });

    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    // Restarted calls: a blocking host request is not cut short by the signal;
    // the dialog closes once the event loop runs again.
    sa.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) ::sigaction(kQuitSignals[i], &sa, &FState->Previous[i]);
}

TQuitOnSignals::~TQuitOnSignals() {
    if (!FNotifier) return;
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) ::sigaction(kQuitSignals[i], &FState->Previous[i], nullptr);
    gWriteFd = -1;
}

}  // namespace qm

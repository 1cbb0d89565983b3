// quillmark-host: serves the Quillmark pipe as the host application must.
// See HostUsage() for the command line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "UErrors.h"
#include "UExchangeFile.h"
#include "UHost.h"
#include "UVersion.h"

extern char** environ;

namespace {

using qm::TFileHandle;

// Signals reach the main loop through pipes: termination requests on one
// (also the cancel signal of a connection being served), child exits on the
// other.
int gTermPipe[2] = {-1, -1};
int gChildPipe[2] = {-1, -1};

void OnSignal(int sig) {
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    const int fd = sig == SIGCHLD ? gChildPipe[1] : gTermPipe[1];
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    errno = saved;
}

void InstallSignals() {
    for (int* p : {gTermPipe, gChildPipe}) {
        if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) throw qm::EQuillmarkError("pipe: " + std::string(std::strerror(errno)));
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

// The first termination signal received, if any (the byte stays in the
// pipe so that a connection being served sees it too).
std::optional<int> PendingTermination() {
    char sig = 0;
    pollfd fd{gTermPipe[0], POLLIN, 0};
    if (::poll(&fd, 1, 0) != 1) return std::nullopt;
    if (::read(gTermPipe[0], &sig, 1) != 1) return std::nullopt;
    return static_cast<int>(sig);
}

int ExitStatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

int Run(const qm::THostOptions& options) {
    InstallSignals();
    qm::THostServer server(options, gTermPipe[0]);
    std::unique_ptr<qm::TExchangeRegistration> registration;
    if (options.ListInExchange) registration = std::make_unique<qm::TExchangeRegistration>(server.Name(), options.AsDefault);
    // One write, so that whoever waits for this line gets it whole.
    std::cerr << "quillmark-host: serving " + server.Name() + " (pid " + std::to_string(::getpid()) + ") at " +
                     server.SocketPath() + "\n"
              << std::flush;

    pid_t child = 0;
    if (!options.Launch.empty()) {
        std::vector<char*> argv;
        for (const auto& a : options.Launch) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = ::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
        if (rc != 0) {
            std::cerr << "quillmark-host: cannot start " << options.Launch[0] << ": " << std::strerror(rc) << std::endl;
            return 127;
        }
    }

    int childStatus = 0;
    bool childRunning = child > 0;
    for (;;) {
        // A host that never accepts must not be woken by waiting clients.
        const int listenFd = options.NoAccept ? -1 : server.ListenFd();
        pollfd fds[3] = {{listenFd, POLLIN, 0}, {gTermPipe[0], POLLIN, 0}, {gChildPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 3, -1);
        if (ready < 0 && errno != EINTR) return 1;
        // Only a wake-up by the signal pipe (or by a signal) can bring a
        // termination: a plain client costs no extra look at the pipe.
        const bool maybeSignalled = ready < 0 || (fds[1].revents & POLLIN) != 0;
        if (const auto sig = maybeSignalled ? PendingTermination() : std::nullopt) {
            if (childRunning) ::kill(child, *sig);
            return childRunning ? 128 + *sig : 0;
        }
        if ((fds[2].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(gChildPipe[0], drain, sizeof drain) > 0) {
            }
            if (childRunning && ::waitpid(child, &childStatus, WNOHANG) == child) {
                childRunning = false;
                if (!options.KeepRunning) return ExitStatusOf(childStatus);
            }
        }
        if ((fds[0].revents & POLLIN) != 0) server.ServePending();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Everything after --launch belongs to the launched program.
    for (const std::string& a : args) {
        if (a == "--launch") break;
        if (a == "--version") {
            std::cout << qm::VersionLine("quillmark-host");
            return 0;
        }
    }
    qm::THostOptions options;
    try {
        options = qm::ParseHostOptions(args);
    } catch (const qm::EQuillmarkError& e) {
        std::cerr << "quillmark-host: " << e.what() << "\n";
        return 2;
    }
    if (options.Help) {
        std::cout << qm::HostUsage();
        return 0;
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::cerr << "quillmark-host: " << e.what() << "\n";
        return 1;
    }
}

// The host on POSIX: the pipe is an AF_UNIX socket in <working folder>pipes/,
// signals reach the main loop through a self-pipe, the child is started with
// posix_spawn.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UExchangeFile.h"
#include "UHost.h"
#include "UPosixPipe.h"

extern char** environ;

namespace qm {

namespace {

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        throw EQuillmarkError("socket path too long (at most " + std::to_string(sizeof addr.sun_path - 1) +
                              " bytes): " + path);
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return addr;
}

// True when a live listener answers on `path`.
bool SomeoneListens(const sockaddr_un& addr) {
    TFileHandle probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!probe) return false;
    const int rc = ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    return rc == 0 || errno == EAGAIN;
}

[[noreturn]] void RaiseSystem(const std::string& what) {
    throw EQuillmarkError(what + ": " + std::strerror(errno));
}

// Waits up to `pause` for `cancelFd` to become readable; true when it did.
bool WaitForCancel(int cancelFd, std::chrono::milliseconds pause) {
    pollfd fd{cancelFd, POLLIN, 0};
    return ::poll(&fd, cancelFd >= 0 ? 1 : 0, static_cast<int>(pause.count())) > 0;
}

// Listens on <working folder>pipes/<name> and serves one connection after
// another. A socket file left behind by a host that is gone is replaced; a
// name another live host serves raises EQuillmarkError. The socket file is
// removed again when the server is destroyed (unless it was replaced).
class THostServer {
public:
    // `options.Name` is not empty; `cancelFd` becomes readable when the
    // host is told to stop (-1: never).
    THostServer(const THostOptions& options, int cancelFd);
    THostServer(const THostServer&) = delete;
    THostServer& operator=(const THostServer&) = delete;
    ~THostServer();

    const std::string& SocketPath() const noexcept { return path_; }
    // The listening socket (-1 with StaleSocket); readable when a client waits.
    int ListenFd() const noexcept { return listen_.Get(); }
    // Accepts and serves every client that is waiting now.
    void ServePending();

private:
    const THostOptions& options_;
    int cancelFd_;
    std::string path_;
    TFileHandle listen_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

THostServer::THostServer(const THostOptions& options, int cancelFd) : options_(options), cancelFd_(cancelFd) {
    path_ = PipeSocketPath(options_.Name);
    const sockaddr_un addr = SocketAddress(path_);

    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) throw EQuillmarkError("not a socket, left alone: " + path_);
        if (SomeoneListens(addr)) throw EQuillmarkError("server name in use by a running host: " + options_.Name);
        ::unlink(path_.c_str());  // left behind by a host that is gone
    }

    listen_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listen_) RaiseSystem("socket");
    if (::bind(listen_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        RaiseSystem("bind " + path_);
    }
    if (::lstat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    if (::listen(listen_.Get(), options_.NoAccept ? 0 : SOMAXCONN) != 0) RaiseSystem("listen " + path_);
    if (options_.StaleSocket) listen_.Reset();
}

THostServer::~THostServer() {
    listen_.Reset();
    // Remove the socket only while it is still ours: a later host of the
    // same name may have replaced it.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) ::unlink(path_.c_str());
}

void THostServer::ServePending() {
    if (!listen_ || options_.NoAccept) return;
    for (;;) {
        TFileHandle connection(::accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!connection) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: nobody else waiting
        }
        if (options_.HangUp) {
            connection.Reset();
            HostLog(options_, "hung up");
            continue;
        }
        TSocketStream pipe(std::move(connection), ConnectionLimit(options_), cancelFd_);
        ServeConnection(pipe, options_, static_cast<std::uint32_t>(::getpid()),
                        [this](std::chrono::milliseconds pause) { return WaitForCancel(cancelFd_, pause); });
    }
}

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
        if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) RaiseSystem("pipe");
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

// Starts the child as a program of its own: every signal at its default
// disposition (the host ignores SIGPIPE) and none blocked.
pid_t Launch(const std::vector<std::string>& command, int& error) {
    std::vector<char*> argv;
    for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = 0;
    error = ::posix_spawnp(&child, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return error == 0 ? child : 0;
}

}  // namespace

bool WriteNewFile(const std::string& path, std::string_view content) {
    TFileHandle fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        if (errno == EEXIST) return false;
        throw EInOutError("Datei kann nicht erstellt werden \"" + path + "\"", errno);
    }
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd.Get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::unlink(path.c_str());
            throw EInOutError("Datei kann nicht geschrieben werden \"" + path + "\"", err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd.Close() != 0) {
        const int err = errno;
        ::unlink(path.c_str());
        throw EInOutError("Datei kann nicht geschrieben werden \"" + path + "\"", err);
    }
    return true;
}

int RunHost(const THostOptions& given) {
    THostOptions options = given;
    if (options.Name.empty()) options.Name = "quillmark-host-" + std::to_string(::getpid());
    InstallSignals();
    THostServer server(options, gTermPipe[0]);
    std::unique_ptr<TExchangeRegistration> registration;
    if (options.ListInExchange) {
        TLockWait wait;
        wait.Stop = [](std::chrono::milliseconds pause) { return WaitForCancel(gTermPipe[0], pause); };
        wait.Blocked = [&options] { HostLog(options, "waiting for the lock of the exchange file"); };
        try {
            registration = std::make_unique<TExchangeRegistration>(options.Name, options.AsDefault, wait);
        } catch (const EHostStopped&) {
            return 0;
        }
    }
    // One write, so that whoever waits for this line gets it whole.
    WriteText(stderr, "quillmark-host: serving " + options.Name + " (pid " + std::to_string(::getpid()) + ") at " +
                          server.SocketPath() + "\n");

    pid_t child = 0;
    if (!options.Launch.empty()) {
        int error = 0;
        child = Launch(options.Launch, error);
        if (child == 0) {
            WriteText(stderr, "quillmark-host: cannot start " + options.Launch[0] + ": " + std::strerror(error) + "\n");
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
                HostLog(options, "child ended with status " + std::to_string(ExitStatusOf(childStatus)));
                if (!options.KeepRunning) return ExitStatusOf(childStatus);
            }
        }
        if ((fds[0].revents & POLLIN) != 0) server.ServePending();
    }
}

}  // namespace qm

#include "UPosixPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UProcess.h"

namespace qm {

bool IsValidServerName(std::string_view server) noexcept {
    return !server.empty() && server != "." && server != ".." &&
           server.find('/') == std::string_view::npos && server.find('\0') == std::string_view::npos;
}

std::string PipeErrorText(std::uint32_t code) { return std::strerror(static_cast<int>(code)); }

std::string PipeSocketPath(std::string_view server) {
    return GetWorkingFolder("pipes") + std::string(server);
}

namespace {

std::uint32_t SocketError(int err) noexcept {
    if (err == EPIPE || err == ECONNRESET) return kErrorBrokenPipe;
    return static_cast<std::uint32_t>(err);
}

}  // namespace

TSocketStream::TSocketStream(TFileHandle socket, std::chrono::milliseconds silenceLimit, int cancelFd,
                             std::optional<std::chrono::steady_clock::time_point> deadline)
    : socket_(std::move(socket)), silenceLimit_(silenceLimit), cancelFd_(cancelFd), deadline_(deadline) {}

std::uint32_t TSocketStream::AwaitReady(short events) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + (timedOut_ ? std::min(silenceLimit_, kAfterTimeoutLimit) : silenceLimit_);
    // The silence limit starts again with every byte; the overall deadline
    // does not, so a host that drips its reply cannot hold us for ever.
    if (deadline_ && *deadline_ < deadline) deadline = *deadline_;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut_ = true;
            return kWaitTimeout;
        }
        pollfd fds[2] = {{socket_.Get(), events, 0}, {cancelFd_, POLLIN, 0}};
        const int n = ::poll(fds, cancelFd_ >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return static_cast<std::uint32_t>(errno);
        }
        if (n == 0) continue;  // the deadline check above ends the wait
        if (cancelFd_ >= 0 && (fds[1].revents & POLLIN) != 0) return EINTR;
        return 0;  // ready, or an error/hang-up that the next call reports
    }
}

std::uint32_t TSocketStream::Write(std::span<const char> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(socket_.Get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return SocketError(errno);
        if (std::uint32_t e = AwaitReady(POLLOUT); e != 0) return e;
    }
    return 0;
}

TPipeReadResult TSocketStream::Read(std::span<char> buffer) {
    if (timedOut_) return {0, kWaitTimeout};
    for (;;) {
        const ssize_t n = ::recv(socket_.Get(), buffer.data(), buffer.size(), 0);
        if (n > 0) return {static_cast<std::size_t>(n), 0};
        if (n == 0) return {0, kErrorBrokenPipe};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return {0, SocketError(errno)};
        if (std::uint32_t e = AwaitReady(POLLIN); e != 0) return {0, e};
    }
}

namespace {

// Who is on the other end of the connected socket `fd`.
TPipeServer SocketPeer(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) return {};
    return {static_cast<std::uint32_t>(peer.pid), std::to_string(peer.uid)};
}

class TPosixPipeTransport final : public IPipeTransport {
public:
    explicit TPosixPipeTransport(TPipeOptions options) : options_(std::move(options)) {}

    TPipeOpenResult Open(std::string_view computer, std::string_view server) override {
        nobodyListens_ = false;
        if (computer != ".") return {nullptr, ENOTSUP};
        if (server.empty()) {
            nobodyListens_ = true;
            return {nullptr, kErrorFileNotFound};
        }
        if (!IsValidServerName(server)) return {nullptr, EINVAL};

        std::string path;
        try {
            path = PipeSocketPath(server);
        } catch (const EUnsafeFolderError& e) {
            return {nullptr, kErrorPipeFolderRefused, e.what()};
        }
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) return {nullptr, ENAMETOOLONG};
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);

        TFileHandle fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd) return {nullptr, static_cast<std::uint32_t>(errno)};
        int rc;
        do {
            rc = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            switch (errno) {
            case ENOENT:
            case ECONNREFUSED:
                nobodyListens_ = true;
                return {nullptr, kErrorFileNotFound};
            case EAGAIN:
                return {nullptr, kErrorPipeBusy};
            case EACCES:
            case EPERM:
                return {nullptr, kErrorPipeFolderRefused};
            default:
                return {nullptr, static_cast<std::uint32_t>(errno)};
            }
        }
        TPipeServer served = SocketPeer(fd.Get());
        if (options_.ReportedServer) served = options_.ReportedServer(served);
        if (std::uint32_t e = CheckPipeServer(served, CurrentUserId(), options_.ExpectedServerPid); e != 0) {
            return {nullptr, e};
        }
        return {std::make_unique<TSocketStream>(std::move(fd), options_.SilenceLimit, -1, options_.Deadline), 0, {},
                served.Pid};
    }

    // A listening socket gives no notice when its backlog has room again, so
    // a busy pipe is waited for in short steps and the caller retries the open.
    std::uint32_t Wait(std::string_view, std::string_view, std::uint32_t milliseconds) override {
        if (nobodyListens_) return kErrorFileNotFound;
        constexpr std::uint32_t kStepMs = 5;
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds == 0 ? kStepMs : std::min(milliseconds, kStepMs)));
        return 0;
    }

private:
    TPipeOptions options_;
    bool nobodyListens_ = false;  // what the last Open found
};

}  // namespace

std::unique_ptr<IPipeTransport> MakePosixPipeTransport(const TPipeOptions& options) {
    return std::make_unique<TPosixPipeTransport>(options);
}

std::unique_ptr<IPipeTransport> MakePipeTransport(const TPipeOptions& options) {
    return MakePosixPipeTransport(options);
}

}  // namespace qm

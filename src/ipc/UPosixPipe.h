// Named pipes rendered as AF_UNIX stream sockets: the pipe "\\.\pipe\S" is
// the socket <working folder>pipes/S. The host creates pipes/ (mode 0700)
// and listens there; the client connects.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "UFileHandle.h"
#include "UPipeTransport.h"

namespace qm {

// <working folder>pipes/<server>, creating pipes/ with mode 0700 when
// missing. Raises EUnsafeFolderError like GetWorkingFolder.
// Precondition: IsValidServerName(server).
std::string PipeSocketPath(std::string_view server);

// One connected stream socket (either end). Every read and write waits at
// most `silenceLimit` for progress and then fails with kWaitTimeout; after a
// time-out every later read fails at once and a write waits at most
// kAfterTimeoutLimit (the end marker is still attempted). A closed other
// end reads and writes as kErrorBrokenPipe. When `cancelFd` becomes readable (a signal
// pipe), a waiting call ends with EINTR. With `deadline`, no call waits past
// it: a read or write then ends with kWaitTimeout as after a silence.
// Precondition: the socket is in non-blocking mode (SOCK_NONBLOCK), so that
// no call blocks beyond the limit.
class TSocketStream final : public IPipeStream {
public:
    TSocketStream(TFileHandle socket, std::chrono::milliseconds silenceLimit, int cancelFd = -1,
                  std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);
    std::uint32_t Write(std::span<const char> bytes) override;
    TPipeReadResult Read(std::span<char> buffer) override;

private:
    // 0 when the socket became ready for `events`, else the error.
    std::uint32_t AwaitReady(short events);

    TFileHandle socket_;
    std::chrono::milliseconds silenceLimit_;
    int cancelFd_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool timedOut_ = false;
};

// Client ends over AF_UNIX sockets. Only the computer "." is served; any
// other fails at once with ENOTSUP. A missing socket file or one nobody
// listens on is kErrorFileNotFound; a listener whose backlog is full is
// kErrorPipeBusy. An invalid server name fails with EINVAL, an empty one
// as a missing pipe. An unsafe pipes/ folder, or one whose access is
// refused, is kErrorPipeFolderRefused. Besides the private pipes/ folder,
// the socket's peer (SO_PEERCRED) must be this user and, when expected, the
// host's process (CheckPipeServer).
std::unique_ptr<IPipeTransport> MakePosixPipeTransport(const TPipeOptions& options = {});

}  // namespace qm

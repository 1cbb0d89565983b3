// The platform side of the host pipe, behind a small interface so that the
// client's protocol logic is the same for every platform and can be tested
// with a transport that records what it is given.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// Error codes that callers of the pipe client look at. They keep the numbers
// of the Windows pipe API; every other failure carries the platform's own
// code (GetLastError on Windows, errno on POSIX).
//   code  meaning
inline constexpr std::uint32_t kErrorFileNotFound = 2;  // no such pipe
inline constexpr std::uint32_t kErrorInvalidData = 13;  // a frame field out of range
inline constexpr std::uint32_t kErrorBrokenPipe = 109;  // the other end closed the pipe
inline constexpr std::uint32_t kErrorPipeBusy = 231;    // every instance in use
inline constexpr std::uint32_t kErrorMoreData = 234;    // partial delivery of a message
inline constexpr std::uint32_t kWaitTimeout = 258;      // time-out
// The folder that holds the pipes may not be used (a link, another user's,
// or access refused). Bit 29 marks an application-defined code: no Windows
// system error and no errno value has it.
inline constexpr std::uint32_t kErrorPipeFolderRefused = 0x20000005;
// The pipe is served by another process than the host found by discovery.
inline constexpr std::uint32_t kErrorWrongPipeServer = 0x20000006;
// The pipe is served by a process of another user, or by one whose user
// cannot be read.
inline constexpr std::uint32_t kErrorForeignPipeServer = 0x20000007;

// A host that accepted a connection may stay silent this long at most
// before a read or write on the open pipe ends with kWaitTimeout.
inline constexpr std::chrono::milliseconds kSilenceLimit{10000};
// After a time-out a stream's reads fail at once, but a write still waits
// this long at most, so that the end marker is attempted before the close.
inline constexpr std::chrono::milliseconds kAfterTimeoutLimit{250};

// One value request with all its attempts (connect, write, read, end
// marker) ends within this time, however slowly the host's bytes trickle in.
inline constexpr std::chrono::milliseconds kRequestDeadline{30000};

struct TPipeReadResult {
    std::size_t Count = 0;    // bytes delivered, 0..buffer size
    std::uint32_t Error = 0;  // 0, or the failure (kErrorMoreData comes with Count > 0)
};

// One open end of a pipe; the destructor closes it.
class IPipeStream {
public:
    virtual ~IPipeStream() = default;
    // Writes all of `bytes` as one write; 0 or the error code.
    virtual std::uint32_t Write(std::span<const char> bytes) = 0;
    // Delivers 1..buffer.size() bytes (buffer not empty), or an error.
    virtual TPipeReadResult Read(std::span<char> buffer) = 0;
};

struct TPipeOpenResult {
    std::unique_ptr<IPipeStream> Stream;  // set exactly when Error == 0
    std::uint32_t Error = 0;
    // With kErrorPipeFolderRefused: the German message for the user, when
    // the folder was found unsafe.
    std::string Message = {};
    // The process that serves the pipe (0: unknown), with Stream.
    std::uint32_t ServerPid = 0;
};

// Who serves an open pipe, as the platform reports it: the server's process
// id (0: unknown) and its user as the text of CurrentUserId ("" when it
// cannot be read).
struct TPipeServer {
    std::uint32_t Pid = 0;
    std::string User;
};

// 0 when `server` may serve us: it runs as `ownUser` (not empty) and, with
// `expectedPid` not 0, it is that process. Otherwise kErrorForeignPipeServer
// (another user, or a user that cannot be read) or kErrorWrongPipeServer.
std::uint32_t CheckPipeServer(const TPipeServer& server, std::string_view ownUser, std::uint32_t expectedPid) noexcept;

// How the platform's transport opens and bounds its pipes.
struct TPipeOptions {
    // A read or write that makes no progress this long ends with kWaitTimeout.
    std::chrono::milliseconds SilenceLimit = kSilenceLimit;
    // Every open, read, write and wait ends by then (kWaitTimeout); none: no
    // bound beyond the silence limit.
    std::optional<std::chrono::steady_clock::time_point> Deadline;
    // The process id the host reported in discovery (0: any process of this
    // user); a pipe served by another is refused (kErrorWrongPipeServer).
    std::uint32_t ExpectedServerPid = 0;
    // Tests only: rewrites what the platform reported about a pipe's server
    // before it is checked, to play a server of another user.
    std::function<TPipeServer(TPipeServer reported)> ReportedServer;
};

// Opens client ends of named pipes "\\<computer>\pipe\<server>".
class IPipeTransport {
public:
    virtual ~IPipeTransport() = default;
    // kErrorFileNotFound when no pipe of that name exists, kErrorPipeBusy
    // when every instance is in use, another code for other failures.
    virtual TPipeOpenResult Open(std::string_view computer, std::string_view server) = 0;
    // Waits up to `milliseconds` (0: a short default) for an instance to
    // become free. 0 when the open may be tried again, also when the time
    // ran out (the caller's own clock then ends its connect with
    // kWaitTimeout); kErrorFileNotFound at once when no pipe of that name
    // exists; another code for other failures.
    virtual std::uint32_t Wait(std::string_view computer, std::string_view server,
                               std::uint32_t milliseconds) = 0;
};

// True when `server` can name a pipe on this platform: not empty, not "."
// or "..", no NUL and no "/" (on Windows no backslash either).
bool IsValidServerName(std::string_view server) noexcept;

// What one of the codes above means, in a few English words ("no such
// pipe", "time-out", ...), as quillmark-ipc and the host guide name them;
// "" for any other code (the platform's own: PipeErrorText).
std::string_view PipeErrorName(std::uint32_t code) noexcept;

// The platform's text for one of its error codes (strerror on POSIX,
// FormatMessageW on Windows), as UTF-8 without a final line break.
std::string PipeErrorText(std::uint32_t code);

// The "\\<computer>\pipe\<server>" text of a pipe.
std::string PipePathText(std::string_view computer, std::string_view server);

// This platform's transport: AF_UNIX sockets in the working folder on POSIX
// (UPosixPipe.cpp), named pipes on Windows (UWinPipe.cpp). Every open checks
// the pipe's server with CheckPipeServer (POSIX: the socket peer's
// credentials; Windows: GetNamedPipeServerProcessId and that process's token
// user) and refuses it with that error; streams it opens end a read or write
// after options.SilenceLimit without progress, and every call at
// options.Deadline (kWaitTimeout).
std::unique_ptr<IPipeTransport> MakePipeTransport(const TPipeOptions& options = {});

}  // namespace qm

// The platform side of the host pipe, behind a small interface so that the
// client's protocol logic is the same for every platform and can be tested
// with a transport that records what it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace qm {

// Error codes that callers of the pipe client look at. They keep the numbers
// of the Windows pipe API; every other failure carries the POSIX errno.
//   code  meaning
inline constexpr std::uint32_t kErrorFileNotFound = 2;  // no such pipe
inline constexpr std::uint32_t kErrorInvalidData = 13;  // a frame field out of range
inline constexpr std::uint32_t kErrorBrokenPipe = 109;  // the other end closed the pipe
inline constexpr std::uint32_t kErrorPipeBusy = 231;    // every instance in use
inline constexpr std::uint32_t kErrorMoreData = 234;    // partial delivery of a message
inline constexpr std::uint32_t kWaitTimeout = 258;      // time-out

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
};

// Opens client ends of named pipes "\\<computer>\pipe\<server>".
class IPipeTransport {
public:
    virtual ~IPipeTransport() = default;
    // kErrorFileNotFound when no pipe of that name exists, kErrorPipeBusy
    // when every instance is in use, another code for other failures.
    virtual TPipeOpenResult Open(std::string_view computer, std::string_view server) = 0;
    // Waits up to `milliseconds` (0: a short default) for an instance to
    // become free. 0 when the open may be tried again; kErrorFileNotFound at
    // once when no pipe of that name exists; kWaitTimeout when the time ran out.
    virtual std::uint32_t Wait(std::string_view computer, std::string_view server,
                               std::uint32_t milliseconds) = 0;
};

}  // namespace qm

// Named pipes of Windows ("\\<computer>\pipe\<server>"), both ends in
// overlapped mode so that every read and write can be bounded. Windows only.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "UPipeTransport.h"
#include "UWinHandle.h"

namespace qm {

// One open end of a named pipe (client or server instance); the destructor
// closes the handle, which the other end sees as a broken pipe (109).
// Every read and write waits at most `silenceLimit` for progress and then
// cancels the operation (CancelIoEx) and fails with kWaitTimeout; after a
// time-out every later read fails at once and a write waits at most
// kAfterTimeoutLimit (the end marker is still attempted). When `cancel` (an
// event, may be null) is signalled, a waiting call is cancelled and ends
// with ERROR_OPERATION_ABORTED. With `deadline`, no call waits past it: a
// read or write then ends with kWaitTimeout as after a silence. Errors are
// GetLastError codes; a read may report ERROR_MORE_DATA (234) with a partial
// delivery.
// Precondition: `pipe` was opened or created with FILE_FLAG_OVERLAPPED.
class TWinPipeStream final : public IPipeStream {
public:
    TWinPipeStream(TWinHandle pipe, std::chrono::milliseconds silenceLimit, HANDLE cancel = nullptr,
                   std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);
    std::uint32_t Write(std::span<const char> bytes) override;
    TPipeReadResult Read(std::span<char> buffer) override;
    // Waits until the other end has read everything written (FlushFileBuffers);
    // false when it has closed instead.
    bool Flush() noexcept;

private:
    // Runs one started overlapped operation to its end within the limit;
    // the count transferred, or the error.
    TPipeReadResult Finish(BOOL started, OVERLAPPED& ov);

    TWinHandle pipe_;
    TWinHandle event_;
    std::chrono::milliseconds silenceLimit_;
    HANDLE cancel_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool timedOut_ = false;
};

}  // namespace qm

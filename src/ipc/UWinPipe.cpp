// The client end of the host pipe on Windows: a real named pipe, opened as
// the named-pipe documentation describes (CreateFileW, WaitNamedPipeW), with
// overlapped I/O so that a silent host cannot hold the client for ever.
#include "UWinPipe.h"

#include <algorithm>
#include <climits>

#include "UProcess.h"
#include "UWinText.h"

namespace qm {

bool IsValidServerName(std::string_view server) noexcept {
    return !server.empty() && server != "." && server != ".." &&
           server.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

std::string PipeErrorText(std::uint32_t code) { return SystemErrorText(static_cast<DWORD>(code)); }

TWinPipeStream::TWinPipeStream(TWinHandle pipe, std::chrono::milliseconds silenceLimit, HANDLE cancel,
                               std::optional<std::chrono::steady_clock::time_point> deadline)
    : pipe_(std::move(pipe)),
      // Manual reset, as overlapped I/O requires: ReadFile and WriteFile
      // reset it when they start.
      event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      silenceLimit_(silenceLimit),
      cancel_(cancel),
      deadline_(deadline) {}

TPipeReadResult TWinPipeStream::Finish(BOOL started, OVERLAPPED& ov) {
    if (!started) {
        const DWORD e = ::GetLastError();
        if (e != ERROR_IO_PENDING) return {0, e};
        auto limit = timedOut_ ? std::min(silenceLimit_, kAfterTimeoutLimit) : silenceLimit_;
        // The silence limit starts again with every byte; the overall
        // deadline does not, so a host that drips its reply cannot hold us.
        if (deadline_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
            limit = std::max(std::chrono::milliseconds(0), std::min(limit, left));
        }
        const DWORD ms = static_cast<DWORD>(std::min<long long>(limit.count(), INFINITE - 1));
        const HANDLE handles[2] = {event_.Get(), cancel_};
        const DWORD waited = ::WaitForMultipleObjects(cancel_ != nullptr ? 2 : 1, handles, FALSE, ms);
        if (waited != WAIT_OBJECT_0) {
            // The operation still owns `ov` and the buffer: cancel it and wait
            // until the cancellation is through before they go out of scope.
            ::CancelIoEx(pipe_.Get(), &ov);
            DWORD n = 0;
            if (::GetOverlappedResult(pipe_.Get(), &ov, &n, TRUE)) return {n, 0};  // finished meanwhile
            const DWORD e2 = ::GetLastError();
            if (e2 != ERROR_OPERATION_ABORTED) return {n, e2};
            if (waited == WAIT_TIMEOUT) {
                timedOut_ = true;
                return {0, kWaitTimeout};
            }
            return {0, ERROR_OPERATION_ABORTED};
        }
    }
    DWORD n = 0;
    if (::GetOverlappedResult(pipe_.Get(), &ov, &n, FALSE)) return {n, 0};
    return {n, ::GetLastError()};
}

std::uint32_t TWinPipeStream::Write(std::span<const char> bytes) {
    if (!event_) return ::GetLastError();
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED ov{};
        ov.hEvent = event_.Get();
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const BOOL started = ::WriteFile(pipe_.Get(), bytes.data() + done, want, nullptr, &ov);
        const TPipeReadResult r = Finish(started, ov);
        if (r.Error != 0) return r.Error;
        done += r.Count;
    }
    return 0;
}

TPipeReadResult TWinPipeStream::Read(std::span<char> buffer) {
    if (!event_) return {0, ::GetLastError()};
    if (timedOut_) return {0, kWaitTimeout};
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = event_.Get();
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        const BOOL started = ::ReadFile(pipe_.Get(), buffer.data(), want, nullptr, &ov);
        const TPipeReadResult r = Finish(started, ov);
        // A zero-length write of the other end arrives as an empty success:
        // no bytes yet, so read on.
        if (r.Error != 0 || r.Count > 0) return r;
    }
}

bool TWinPipeStream::Flush() noexcept { return ::FlushFileBuffers(pipe_.Get()) != 0; }

namespace {

class TWinPipeTransport final : public IPipeTransport {
public:
    explicit TWinPipeTransport(TPipeOptions options) : options_(std::move(options)) {}

    TPipeOpenResult Open(std::string_view computer, std::string_view server) override {
        if (server.empty()) return {nullptr, ERROR_FILE_NOT_FOUND};
        if (!IsValidServerName(server)) return {nullptr, ERROR_INVALID_NAME};
        // SECURITY_IDENTIFICATION: the server may learn who we are but can
        // never act as us (pipe names are shared by every user of the machine).
        TWinHandle pipe(::CreateFileW(ToWide(PipePathText(computer, server)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                      nullptr));
        if (!pipe) return {nullptr, ::GetLastError()};
        // Any process of any user may have created a pipe of this name
        // first: only a server of our own user, and once discovery found the
        // host, only that process, may serve us.
        TPipeServer served;
        ULONG serverPid = 0;
        if (::GetNamedPipeServerProcessId(pipe.Get(), &serverPid)) {
            served.Pid = serverPid;
            served.User = ProcessUserId(serverPid);
        }
        if (options_.ReportedServer) served = options_.ReportedServer(served);
        if (std::uint32_t e = CheckPipeServer(served, CurrentUserId(), options_.ExpectedServerPid); e != 0) {
            return {nullptr, e};
        }
        return {std::make_unique<TWinPipeStream>(std::move(pipe), options_.SilenceLimit, nullptr, options_.Deadline), 0,
                {}, served.Pid};
    }

    std::uint32_t Wait(std::string_view computer, std::string_view server, std::uint32_t milliseconds) override {
        if (server.empty() || !IsValidServerName(server)) return ERROR_FILE_NOT_FOUND;
        // 0 asks for the server's own default wait (NMPWAIT_USE_DEFAULT_WAIT),
        // which the server chooses: wait 1 ms instead, the caller retries.
        if (::WaitNamedPipeW(ToWide(PipePathText(computer, server)).c_str(), std::max<std::uint32_t>(milliseconds, 1))) {
            return 0;
        }
        const DWORD e = ::GetLastError();
        // The time ran out (ERROR_SEM_TIMEOUT): the client's own clock decides,
        // and ends the connect with the time-out (258).
        return e == ERROR_SEM_TIMEOUT ? 0 : e;
    }

private:
    TPipeOptions options_;
};

}  // namespace

std::unique_ptr<IPipeTransport> MakePipeTransport(const TPipeOptions& options) {
    return std::make_unique<TWinPipeTransport>(options);
}

}  // namespace qm

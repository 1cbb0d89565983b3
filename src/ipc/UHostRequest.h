// Finding the host instance that started this process, and asking the
// host for one named value at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UHostCommands.h"
#include "UPipeTransport.h"
#include "UProcess.h"
#include "UStringList.h"

namespace qm {

// The exchange file in the working folder: one host server name per line,
// the default host first.
inline constexpr std::string_view kExchangeFileName = "CVT-EXCHANGELOCALSERVICE.TXT";

// Limits of one request attempt and of ReadIPCValueSync.
inline constexpr std::uint32_t kConnectTimeoutMs = 5000;
inline constexpr int kValueRequestAttempts = 3;
inline constexpr std::chrono::milliseconds kValueRequestPause{50};
// In its first round discovery waits this long at most for a busy pipe and
// for a reply before it asks the next candidate; it comes back to those
// that gave neither afterwards, each round with twice the wait.
inline constexpr std::uint32_t kDiscoveryWaitMs = 500;

// Raised by ReadIPCValueSync when asked to raise on an unanswered attempt.
class TIPCClientException : public EQuillmarkError {
public:
    using EQuillmarkError::EQuillmarkError;
};

// The outcome of one request attempt, copied from its client.
struct TIPCResult {
    std::string ErrorDesc;
    std::string ComputerName;
    std::string ServerName;
    bool AnswerValid = false;
    std::uint32_t LastError = 0;
    std::string FailureMessage;  // German text for the user, see TIPCClient
    std::uint32_t ServerPid = 0;  // the pipe's real server process (0: unknown)
    bool PipeBusy = false;        // every instance of the pipe stayed in use (TIPCClient::PipeBusy)
};

struct THostReply {
    std::string Value;  // the reply's "DATA", "" when none came back
    TIPCResult Result;
};

// How requests are made. The defaults are the program's own limits; tests
// shorten them or put a transport double in.
struct TIPCRequestOptions {
    std::uint32_t ConnectTimeoutMs = kConnectTimeoutMs;
    std::chrono::milliseconds SilenceLimit = kSilenceLimit;
    // ReadIPCValueSync with all its attempts, and DiscoverHostServer with
    // all its candidates, end within this time (>= 0; 0 makes them end at
    // once without asking).
    std::chrono::milliseconds Deadline = kRequestDeadline;
    TSleepFunction Sleep = DefaultSleep;
    // Creates the transport of each attempt; empty: MakePipeTransport with
    // SilenceLimit, the deadline and the host's process id remembered by
    // discovery.
    std::function<std::unique_ptr<IPipeTransport>(const TPipeOptions&)> MakeTransport;
    // Told about every attempt of ReadIPCValueSync (1-based number).
    std::function<void(int attempt, const TIPCResult&)> OnAttempt;
};

// The remembered host server name, read and written under its own lock.
// Setting it forgets the process id remembered with an earlier name.
std::string GetCurrentServerName();
void SetCurrentServerName(std::string name);
// The process id that the remembered host reported in discovery (0: none
// known). Requests to that host accept only a pipe served by this process.
std::uint32_t GetCurrentServerPid();
void SetCurrentServerName(std::string name, std::uint32_t pid);

// First line of the exchange file, "" when the file is missing or empty; a
// UTF-8 byte order mark in front of it is dropped.
// With `list`, every line goes there. A load that fails is tried again
// after 100 ms, 100 attempts in all; the last failure is raised
// (EInOutError), as is an unusable working folder (EUnsafeFolderError).
// With `deadline`, the attempts and their pauses end by then, as
// LoadLinesWithRetry describes (a file system that does not answer raises
// EInOutError at the deadline).
std::string ReadExchangeServerList(TStringList* list = nullptr, const TSleepFunction& sleep = DefaultSleep,
                                   std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

// One attempt: sends "COMMAND" = command, "INDEX" = -1, "DATA" = data (left
// out when empty) and "SYNC" = true to `server`, waiting at most
// options.ConnectTimeoutMs for the pipe and ending by `deadline` (default:
// options.Deadline from now). A pipe served by another user's process is
// refused (kErrorForeignPipeServer); with `serverPid` (not 0) so is one
// served by another process (kErrorWrongPipeServer).
THostReply SendHostRequest(std::string_view command, std::string_view server, std::string_view data,
                           const TIPCRequestOptions& options = {}, std::uint32_t serverPid = 0,
                           std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

// The host's value for `command`, "" when no attempt was answered. Asks the
// current server, or when none is remembered the first line of the exchange
// file, up to three times with 50 ms pauses, all within options.Deadline
// (the exchange file's reading included; with no time left it is not read):
// an attempt the deadline cuts ends with kWaitTimeout and no further attempt
// starts. With raiseOnError the first
// unanswered attempt raises TIPCClientException. An attempt that finds the
// pipe folder unsafe raises EUnsafeFolderError with its German message at
// once: the dialog shows it instead of the no-connection message.
std::string ReadIPCValueSync(std::string_view command, bool raiseOnError, std::string_view data = {},
                             const TIPCRequestOptions& options = {});

// One deadline shared by several requests made one after another (a
// handler of the dialog, one run of quillmark-ipc), so that together they
// hold the caller no longer than options.Deadline: each request gets the
// options with what is left of it (0 once it has passed, which makes a
// request end at once with kWaitTimeout).
class TRequestBudget {
public:
    explicit TRequestBudget(const TIPCRequestOptions& options);
    TIPCRequestOptions Left() const;
    // When the budget ends.
    std::chrono::steady_clock::time_point End() const noexcept { return end_; }

private:
    TIPCRequestOptions options_;
    std::chrono::steady_clock::time_point end_;
};

// Finds the host instance whose process started this one and remembers its
// server name with the pipe's real server process; returns it, or "" when
// the default host is to serve. A "SERVERPROCESS" reply whose process id is
// not the pipe's real server is ignored. Every candidate is asked once,
// waiting at most kDiscoveryWaitMs for a busy pipe and for the reply; those
// that gave neither are then asked again in rounds, each wait twice the
// last (up to options.ConnectTimeoutMs and options.SilenceLimit), as long as
// the time lasts, so that no number of names kept busy or served by a
// process that never answers ahead of the host can hide it, nor can a host
// slow to answer. Ends within
// options.Deadline, the exchange file's reading included.
std::string DiscoverHostServer(std::uint32_t parentProcessId, const TIPCRequestOptions& options);

}  // namespace qm

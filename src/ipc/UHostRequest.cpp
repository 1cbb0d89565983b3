#include "UHostRequest.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "UIPCClient.h"
#include "UStringUtil.h"

namespace qm {

namespace {

struct TCurrentServer {
    std::string Name;
    std::uint32_t Pid = 0;
};

std::mutex& ServerNameLock() {
    static std::mutex lock;
    return lock;
}

TCurrentServer& ServerNameSlot() {
    static TCurrentServer current;
    return current;
}

TCurrentServer CurrentServer() {
    std::lock_guard<std::mutex> hold(ServerNameLock());
    return ServerNameSlot();
}

// The backspace between the server name and the process id in a
// "SERVERPROCESS" reply.
constexpr std::string_view kServerProcessSeparator = "\b";

}  // namespace

std::string GetCurrentServerName() { return CurrentServer().Name; }

std::uint32_t GetCurrentServerPid() { return CurrentServer().Pid; }

void SetCurrentServerName(std::string name) { SetCurrentServerName(std::move(name), 0); }

void SetCurrentServerName(std::string name, std::uint32_t pid) {
    std::lock_guard<std::mutex> hold(ServerNameLock());
    ServerNameSlot() = {std::move(name), pid};
}

std::string ReadExchangeServerList(TStringList* list, const TSleepFunction& sleep,
                                   std::optional<std::chrono::steady_clock::time_point> deadline) {
    const std::string path = GetWorkingFolder() + std::string(kExchangeFileName);
    TStringList lines;
    LoadLinesWithRetry(lines, path, sleep, deadline);
    // A host written for Windows may start the file with a UTF-8 byte order
    // mark; it is no part of the first name.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (!lines.Empty() && lines[0].starts_with(kByteOrderMark)) lines[0].erase(0, kByteOrderMark.size());
    std::string first = lines.Empty() ? std::string() : lines[0];
    if (list != nullptr) *list = std::move(lines);
    return first;
}

THostReply SendHostRequest(std::string_view command, std::string_view server, std::string_view data,
                           const TIPCRequestOptions& options, std::uint32_t serverPid,
                           std::optional<std::chrono::steady_clock::time_point> deadline) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = deadline.value_or(Clock::now() + options.Deadline);
    TPipeOptions pipe;
    pipe.SilenceLimit = options.SilenceLimit;
    pipe.Deadline = end;
    pipe.ExpectedServerPid = serverPid;
    TIPCClient client(options.MakeTransport ? options.MakeTransport(pipe) : MakePipeTransport(pipe));
    client.SetServerName(server);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    const auto connectMs = static_cast<std::uint32_t>(std::clamp<long long>(left, 0, options.ConnectTimeoutMs));

    TMessageData request;
    TStreamStorage& payload = request.Data();
    payload.WriteString("COMMAND", command);
    payload.WriteInteger("INDEX", -1);
    payload.WriteString("DATA", data);
    payload.WriteBoolean("SYNC", true);

    THostReply out;
    if (connectMs == 0) {
        // The deadline has passed: no attempt, reported as a time-out.
        out.Result = {"IPC client failed with WAIT timeout", client.ComputerName(), client.ServerName(), false,
                      kWaitTimeout, {}, 0};
        return out;
    }
    if (TMessageRef reply = client.Call(request, connectMs)) {
        out.Value = reply->Data().ReadString("DATA");
    }
    out.Result = {client.ErrorDesc(), client.ComputerName(), client.ServerName(), client.AnswerValid(),
                  client.LastError(), client.FailureMessage(), client.ServerPid(), client.PipeBusy()};
    return out;
}

std::string ReadIPCValueSync(std::string_view command, bool raiseOnError, std::string_view data,
                             const TIPCRequestOptions& options) {
    const auto deadline = std::chrono::steady_clock::now() + options.Deadline;
    auto [server, pid] = CurrentServer();
    // Without time left no attempt is made, so no name is needed either.
    if (server.empty() && std::chrono::steady_clock::now() < deadline) {
        server = ReadExchangeServerList(nullptr, options.Sleep, deadline);
    }

    for (int attempt = 1; attempt <= kValueRequestAttempts; ++attempt) {
        THostReply reply = SendHostRequest(command, server, data, options, pid, deadline);
        if (options.OnAttempt) options.OnAttempt(attempt, reply.Result);
        if (reply.Result.AnswerValid) return std::move(reply.Value);
        // Asking again cannot make the folder safe; the user must act.
        if (reply.Result.LastError == kErrorPipeFolderRefused && !reply.Result.FailureMessage.empty()) {
            throw EUnsafeFolderError(reply.Result.FailureMessage);
        }
        if (raiseOnError) {
            throw TIPCClientException("Named Pipe Error [ReadIPCValueSync]\r\nErrorDesc: " +
                                      reply.Result.ErrorDesc + "\r\nComputerName: " + reply.Result.ComputerName +
                                      "\r\nServerName: " + reply.Result.ServerName);
        }
        if (std::chrono::steady_clock::now() + kValueRequestPause >= deadline) break;
        options.Sleep(kValueRequestPause);
    }
    return {};
}

TRequestBudget::TRequestBudget(const TIPCRequestOptions& options)
    : options_(options), end_(std::chrono::steady_clock::now() + options.Deadline) {}

TIPCRequestOptions TRequestBudget::Left() const {
    TIPCRequestOptions left = options_;
    left.Deadline = std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(
                                                                end_ - std::chrono::steady_clock::now()));
    return left;
}


std::string DiscoverHostServer(std::uint32_t parentProcessId, const TIPCRequestOptions& options) {
    using Clock = std::chrono::steady_clock;
    if (parentProcessId == 0) return {};
    const auto deadline = Clock::now() + options.Deadline;
    if (Clock::now() >= deadline) return {};
    const std::string parent = std::to_string(parentProcessId);

    TStringList candidates;
    ReadExchangeServerList(&candidates, options.Sleep, deadline);
    struct TClaim {
        std::string Name;        // the server name inside the reply
        std::uint32_t Pid = 0;   // the pipe's real server process
    };
    std::vector<TClaim> claims;
    // Any process may keep a listed name busy, or accept and never answer
    // (a stale line, a squatter): such a name holds discovery only for the
    // round's short wait, never for a request's whole limits.
    std::uint32_t waitMs = kDiscoveryWaitMs;
    enum class TOutcome { Parent, Unanswered, Other };
    const auto ask = [&](const std::string& candidate) {
        TIPCRequestOptions asking = options;
        asking.ConnectTimeoutMs = std::min(options.ConnectTimeoutMs, waitMs);
        asking.SilenceLimit = std::min(options.SilenceLimit, std::chrono::milliseconds(waitMs));
        const THostReply reply = SendHostRequest(kCmdServerProcess, candidate, {}, asking, 0, deadline);
        if (reply.Result.PipeBusy || (reply.Value.empty() && reply.Result.LastError == kWaitTimeout)) {
            return TOutcome::Unanswered;
        }
        if (reply.Value.empty()) return TOutcome::Other;
        const auto pieces = SplitString(kServerProcessSeparator, reply.Value, 0, 0);
        // A process id claimed in a reply is believed only when it is the
        // pipe's real server: a process that created some pipe name first
        // could claim to be anyone.
        if (pieces.size() == 2 && reply.Result.ServerPid != 0 &&
            pieces[1] != std::to_string(reply.Result.ServerPid)) {
            return TOutcome::Other;
        }
        if (pieces.size() == 2 && pieces[1] == parent) {
            SetCurrentServerName(candidate, reply.Result.ServerPid != 0 ? reply.Result.ServerPid : parentProcessId);
            return TOutcome::Parent;
        }
        claims.push_back({pieces.size() == 2 ? pieces[0] : std::string(), reply.Result.ServerPid});
        return TOutcome::Other;
    };

    std::vector<std::string> unanswered = candidates.Items;
    // Round after round, until each has answered or the time is up: the
    // host itself may have been busy with another client a moment ago, or
    // slow to answer on a loaded machine.
    for (bool first = true; !unanswered.empty() && Clock::now() < deadline; first = false) {
        if (!first) {
            const auto longest = std::max<std::uint32_t>(
                options.ConnectTimeoutMs, static_cast<std::uint32_t>(options.SilenceLimit.count()));
            waitMs = std::min(waitMs * 2, std::max(longest, kDiscoveryWaitMs));
        }
        std::vector<std::string> still;
        for (const std::string& candidate : unanswered) {
            const TOutcome outcome = ask(candidate);
            if (outcome == TOutcome::Parent) return candidate;
            if (outcome == TOutcome::Unanswered) still.push_back(candidate);
        }
        unanswered = std::move(still);
    }

    if (claims.size() != 1) return {};
    // One host answered but claims another process: when the default host
    // answers, it serves; otherwise the one that answered is remembered,
    // tied to the process that really served its pipe.
    TIPCRequestOptions rest = options;
    rest.Deadline = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (rest.Deadline.count() <= 0) return {};
    if (!ReadIPCValueSync(kCmdServerProcess, false, {}, rest).empty()) return {};
    if (claims.front().Name.empty()) return {};
    SetCurrentServerName(claims.front().Name, claims.front().Pid);
    return claims.front().Name;
}

}  // namespace qm

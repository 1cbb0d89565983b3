#include "UHostRequest.h"

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

std::string ReadExchangeServerList(TStringList* list, const TSleepFunction& sleep) {
    const std::string path = GetWorkingFolder() + std::string(kExchangeFileName);
    TStringList lines;
    LoadLinesWithRetry(lines, path, sleep);
    std::string first = lines.Empty() ? std::string() : lines[0];
    if (list != nullptr) *list = std::move(lines);
    return first;
}

THostReply SendHostRequest(std::string_view command, std::string_view server, std::string_view data,
                           const TIPCRequestOptions& options, std::uint32_t serverPid) {
    TIPCClient client(options.MakeTransport ? options.MakeTransport()
                                            : MakePipeTransport(options.SilenceLimit, serverPid));
    client.SetServerName(server);

    TMessageData request;
    TStreamStorage& payload = request.Data();
    payload.WriteString("COMMAND", command);
    payload.WriteInteger("INDEX", -1);
    payload.WriteString("DATA", data);
    payload.WriteBoolean("SYNC", true);

    THostReply out;
    if (TMessageRef reply = client.Call(request, options.ConnectTimeoutMs)) {
        out.Value = reply->Data().ReadString("DATA");
    }
    out.Result = {client.ErrorDesc(), client.ComputerName(), client.ServerName(), client.AnswerValid(),
                  client.LastError(), client.FailureMessage()};
    return out;
}

std::string ReadIPCValueSync(std::string_view command) { return ReadIPCValueSync(command, false); }

std::string ReadIPCValueSync(std::string_view command, bool raiseOnError, std::string_view data,
                             const TIPCRequestOptions& options) {
    auto [server, pid] = CurrentServer();
    if (server.empty()) server = ReadExchangeServerList(nullptr, options.Sleep);

    for (int attempt = 1; attempt <= kValueRequestAttempts; ++attempt) {
        THostReply reply = SendHostRequest(command, server, data, options, pid);
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
        options.Sleep(kValueRequestPause);
    }
    return {};
}

std::string DiscoverHostServer() { return DiscoverHostServer(GetParentProcessId(), {}); }

std::string DiscoverHostServer(std::uint32_t parentProcessId, const TIPCRequestOptions& options) {
    if (parentProcessId == 0) return {};
    const std::string parent = std::to_string(parentProcessId);

    TStringList candidates;
    ReadExchangeServerList(&candidates, options.Sleep);
    std::vector<std::string> replies;
    for (const std::string& candidate : candidates) {
        std::string reply = SendHostRequest("SERVERPROCESS", candidate, {}, options).Value;
        if (reply.empty()) continue;
        const auto pieces = SplitString(kServerProcessSeparator, reply, 0, 0);
        if (pieces.size() == 2 && pieces[1] == parent) {
            SetCurrentServerName(candidate, parentProcessId);
            return candidate;
        }
        replies.push_back(std::move(reply));
    }

    if (replies.size() != 1) return {};
    // One host answered but claims another process: when the default host
    // answers, it serves; otherwise the one that answered is remembered.
    if (!ReadIPCValueSync("SERVERPROCESS", false, {}, options).empty()) return {};
    const auto pieces = SplitString(kServerProcessSeparator, replies.front(), 0, 0);
    if (pieces.size() != 2) return {};
    // This host did not start us: its claimed id proves nothing, so later
    // requests to it are not tied to a process.
    SetCurrentServerName(pieces[0]);
    return pieces[0];
}

}  // namespace qm
